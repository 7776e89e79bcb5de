// The code field of the sequence editor pages.
#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;

namespace veltra {

// The code field: an edit field above a permanently open list of the 144 codes. Choosing an
// entry puts its text into the field; typing clears the entry selection, so the typed text is
// what counts.
class CEditComboBox : public QWidget {
    Q_OBJECT

public:
    explicit CEditComboBox(QWidget* parent = nullptr);

    QLineEdit* edit() const { return edit_; }
    QListWidget* list() const { return list_; }
    // The selected entry's position, -1 without one.
    int selectedEntry() const;
    void scrollToTop(int entry);

signals:
    void entryDoubleClicked();

private:
    QLineEdit* edit_;
    QListWidget* list_;
};

} // namespace veltra
