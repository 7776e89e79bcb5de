// The tabbed configuration sheet with its own button row: "Speichern", "Laden", "Programmieren"
// and "Abbrechen". There is no OK, Apply or Help button and the Enter key does nothing, so a
// technician typing into a page never closes the sheet by accident. Below the tabs a status
// line with a progress bar shows what the sheet is doing while it talks to the reader.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace veltra {

class CEinstellDlg : public QDialog {
    Q_OBJECT
public:
    explicit CEinstellDlg(QWidget* parent = nullptr);
    ~CEinstellDlg() override;

    // Adds a page as the next tab.
    void addPage(QWidget* page, const QString& title);
    QTabWidget* tabs() const { return tabs_; }

    QPushButton* saveButton() const { return save_; }
    QPushButton* loadButton() const { return load_; }
    QPushButton* programButton() const { return program_; }
    QPushButton* cancelButton() const { return cancel_; }

    // The status line below the tabs: a text and, for work with known steps, a progress bar.
    // beginProgress shows the bar with `steps` steps; endProgress hides it again.
    void beginProgress(int steps);
    void stepProgress(const QString& text);
    void endProgress();
    QString statusText() const;
    int progressValue() const;
    bool progressVisible() const;

protected:
    // The button commands; the sheet that holds the pages does the work.
    virtual void onSave() {}
    virtual void onLoad() {}
    virtual void onProgram() {}

    void keyPressEvent(QKeyEvent* event) override;

private:
    void pageActivated(int index);

    QTabWidget* tabs_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* program_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace veltra
