// The about box: the program's version and build date, the device link's version, the maker's
// address with a web and a mail link, the two update lines and the switch for the automatic
// update check.
//
// The update lines show their captions in grey until the program list has arrived, then what
// the lists say. A dark red line is clickable: it downloads the listed installer, checks it and
// starts it; installerStarted() then asks the program to end.
#pragma once

#include "update/workflow/UpdateLine.h"

#include <QDialog>

class QCheckBox;
class QLabel;

namespace veltra {

class CBitmapStatic;
class CLabel;
class CUpdateCheck;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr QRgb kErrorColour = 0xFF0000;  // no list, or no entries in it
    static constexpr QRgb kUpdateColour = 0xC00000; // an update is listed
    static constexpr QRgb kQuietColour = 0x808080;  // nothing newer, or not known yet
    static constexpr QRgb kLinkColour = 0x0000FF;

    // `automaticCheck`: the stored "Update"/"Version" switch.
    CAboutDlg(CUpdateCheck& programCheck, CUpdateCheck& deviceCheck, bool automaticCheck,
              QWidget* parent = nullptr);

    bool automaticCheck() const;

    QLabel* titleLine() const { return title_; }
    QLabel* libraryLine() const { return library_; }
    CLabel* webLink() const { return web_; }
    CLabel* mailLink() const { return mail_; }
    CLabel* programLine() const { return programLine_; }
    CLabel* deviceLine() const { return deviceLine_; }
    CBitmapStatic* logo() const { return logo_; }
    QCheckBox* automaticCheckBox() const { return automatic_; }

    // Fills both update lines from the lists as they are now.
    void refreshLines();

    // OK and Escape store the switch (automaticCheckChosen) and close.
    void accept() override;
    void reject() override;

signals:
    void automaticCheckChosen(bool on);
    // An installer was started: the program should end.
    void installerStarted();

protected:
    void customEvent(QEvent* event) override;

private:
    void showLine(CLabel* label, const UpdateLine& line);
    void install(CUpdateCheck& check, CLabel* label, const UpdateLine& line);

    CUpdateCheck& programCheck_;
    CUpdateCheck& deviceCheck_;
    UpdateLine program_;
    UpdateLine device_;
    CBitmapStatic* logo_ = nullptr;
    CLabel* mail_ = nullptr;
    CLabel* web_ = nullptr;
    CLabel* programLine_ = nullptr;
    CLabel* deviceLine_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* library_ = nullptr;
    QCheckBox* automatic_ = nullptr;
    bool installing_ = false;
};

} // namespace veltra
