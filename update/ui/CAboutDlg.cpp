#include "update/ui/CAboutDlg.h"

#include "config/workflow/ReaderLink.h"
#include "resources/strings/StringTable.h"
#include "update/MakerInfo.h"
#include "update/ui/CBitmapStatic.h"
#include "update/ui/CLabel.h"
#include "update/workflow/CUpdateCheck.h"
#include "widgets/IMessageBox.h"
#include "widgets/WaitCursor.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

// The logo lives in this library's resources, which a static library must register itself.
static void initUpdateResources() {
    Q_INIT_RESOURCE(update);
}

namespace veltra {
namespace {

constexpr int kStrTitle = 79000;
constexpr int kStrTitleLine = 79001;
constexpr int kStrProgramLine = 79002;
constexpr int kStrDeviceLine = 79003;
constexpr int kStrAutomatic = 79004;
constexpr int kStrOk = 79005;
constexpr int kStrPhone = 79006;
constexpr int kStrFax = 79007;
constexpr int kStrCopyright = 79008;
constexpr int kStrStarting = 604;
constexpr int kStrNotDownloaded = 10136;

QLabel* plain(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

CAboutDlg::CAboutDlg(CUpdateCheck& programCheck, CUpdateCheck& deviceCheck, bool automaticCheck,
                     QWidget* parent)
    : QDialog(parent), programCheck_(programCheck), deviceCheck_(deviceCheck) {
    initUpdateResources();
    setWindowTitle(str(kStrTitle));
    const MakerInfo& maker = makerInfo();

    logo_ = new CBitmapStatic(this);
    logo_->setBitmap(QPixmap(QStringLiteral(":/update/logo.png")));
    logo_->setTransparent(true);

    title_ = plain(str(kStrTitleLine) + QLatin1Char(' ') + programCheck_.programVersion() +
                       QStringLiteral(" (") + programCheck_.programBuild() + QLatin1Char(')'),
                   this);
    library_ = plain(QString::asprintf("SDK Version %.02f", deviceLinkVersion() / 100.0), this);

    QFont linkFont = font();
    linkFont.setUnderline(true);
    web_ = new CLabel(this);
    mail_ = new CLabel(this);
    web_->setText(maker.web);
    mail_->setText(maker.mail);
    for (CLabel* link : {web_, mail_}) {
        link->setFontDescription(linkFont);
        link->setLink(true);
        link->setTextColor(QColor(kLinkColour));
        link->setCursor(Qt::PointingHandCursor);
    }

    programLine_ = new CLabel(this);
    deviceLine_ = new CLabel(this);
    programLine_->setText(kStrProgramLine);
    deviceLine_->setText(kStrDeviceLine);
    for (CLabel* line : {programLine_, deviceLine_}) {
        line->setFontName(font().family());
        line->setFontSize(font().pointSize());
        line->setItalic(true);
        line->setTextColor(QColor(kQuietColour));
    }
    connect(programLine_, &CLabel::clicked, this,
            [this] { install(programCheck_, programLine_, program_); });
    connect(deviceLine_, &CLabel::clicked, this,
            [this] { install(deviceCheck_, deviceLine_, device_); });

    automatic_ = new QCheckBox(str(kStrAutomatic), this);
    automatic_->setChecked(automaticCheck);

    auto* text = new QVBoxLayout;
    text->addWidget(title_);
    text->addWidget(library_);
    text->addSpacing(8);
    text->addWidget(plain(maker.name, this));
    for (const QString& line : maker.address) {
        text->addWidget(plain(line, this));
    }
    text->addWidget(
        plain(QString(str(kStrPhone)).replace(QStringLiteral("%s"), maker.phone), this));
    text->addWidget(plain(QString(str(kStrFax)).replace(QStringLiteral("%s"), maker.fax), this));
    text->addWidget(web_);
    text->addWidget(mail_);
    text->addSpacing(8);
    text->addWidget(
        plain(strf(kStrCopyright, maker.year.toUtf8().constData(), maker.name.toUtf8().constData()),
              this));

    auto* top = new QHBoxLayout;
    top->addWidget(logo_, 0, Qt::AlignTop);
    top->addLayout(text, 1);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(str(kStrOk), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAboutDlg::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(rule);
    layout->addWidget(programLine_);
    layout->addWidget(deviceLine_);
    layout->addWidget(automatic_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The lines are filled when the program list is there; if it already is, at once.
    programCheck_.StartDownload(this, CUpdateCheck::kProgramListArrived);
}

bool CAboutDlg::automaticCheck() const {
    return automatic_->isChecked();
}

void CAboutDlg::customEvent(QEvent* event) {
    if (event->type() == UpdateListEvent::eventType() &&
        static_cast<UpdateListEvent*>(event)->id() == CUpdateCheck::kProgramListArrived) {
        refreshLines();
        return;
    }
    QDialog::customEvent(event);
}

void CAboutDlg::refreshLines() {
    program_ = programUpdateLine(programCheck_);
    device_ = deviceUpdateLine(deviceCheck_);
    showLine(programLine_, program_);
    showLine(deviceLine_, device_);
}

void CAboutDlg::showLine(CLabel* label, const UpdateLine& line) {
    label->setText(line.text);
    switch (line.state) {
    case UpdateLine::State::NoList:
    case UpdateLine::State::NoEntries:
        label->setTextColor(QColor(kErrorColour));
        break;
    case UpdateLine::State::Newer:
        label->setTextColor(QColor(kUpdateColour));
        break;
    case UpdateLine::State::Empty:
    case UpdateLine::State::Current:
        label->setTextColor(QColor(kQuietColour));
        break;
    }
    if (line.clickable()) {
        label->setCursor(Qt::PointingHandCursor);
    } else {
        label->unsetCursor();
    }
}

void CAboutDlg::install(CUpdateCheck& check, CLabel* label, const UpdateLine& line) {
    if (!line.clickable() || installing_) {
        return;
    }
    installing_ = true;
    const QString remembered = label->text();
    label->setText(kStrStarting);
    label->repaint();
    bool started = false;
    {
        WaitCursor wait;
        const QString installer = check.DownloadInstaller();
        if (installer.isEmpty()) {
            messageBox().show(this,
                              strf(kStrNotDownloaded, check.ListedInstaller().toUtf8().constData()),
                              IMessageBox::Kind::Error);
        } else if (check.StartInstaller(installer)) {
            started = true;
        } else {
            messageBox().show(this, check.lastError(), IMessageBox::Kind::Error);
        }
    }
    label->setText(remembered);
    installing_ = false;
    if (started) {
        emit installerStarted();
        accept();
    }
}

void CAboutDlg::accept() {
    emit automaticCheckChosen(automatic_->isChecked());
    QDialog::accept();
}

void CAboutDlg::reject() {
    emit automaticCheckChosen(automatic_->isChecked());
    QDialog::reject();
}

} // namespace veltra
