// The question after a keyboard reader's layout was read: the reader types differently from
// this computer at so many places; take the computer's layout? "Ja" and "Nein", with a check box
// that switches the question off for good ("Settings"/"LayoutErrorAnzeigen").
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace veltra {

class CLayoutErrorDlg : public QDialog {
    Q_OBJECT

public:
    CLayoutErrorDlg(int differences, QWidget* parent = nullptr);

    // Whether the question is switched on (the setting, default on).
    static bool ShowLayoutWarning();

    QCheckBox* dontShowAgain() const { return dontShowAgain_; }
    QPushButton* yesButton() const { return yes_; }
    QPushButton* noButton() const { return no_; }
    QString messageText() const;

    // Closing the window counts as "Nein".
    void reject() override;

private:
    void answer(bool yes);

    QLabel* message_ = nullptr;
    QCheckBox* dontShowAgain_ = nullptr;
    QPushButton* yes_ = nullptr;
    QPushButton* no_ = nullptr;
    bool answered_ = false;
};

} // namespace veltra
