#include "config/ui/CTestDlg.h"

#include "config/ConfigReport.h"
#include "config/ui/SheetServices.h"
#include "config/workflow/ReaderReads.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"
#include "widgets/WaitCursor.h"
#include "widgets/WaitIndicator.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <vector>

namespace veltra {
namespace {

constexpr int kStrConnectionFailed = 151;

QPushButton* dialogButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    return button;
}

} // namespace

CTestDlg::CTestDlg(QWidget* parent, const OpenResult& reader, ReaderLink& link)
    : QDialog(parent), link_(link), reader_(reader) {
    setWindowTitle(str(75510));

    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Room for the widest line of a report (the byte-order texts) and a full report without
    // scrolling on an ordinary screen.
    const QFontMetrics metrics(text_->font());
    text_->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('0')) * 64,
                          metrics.lineSpacing() * 24);

    notice_ = new QLabel(this);
    notice_->setWordWrap(true);
    notice_->setVisible(false);

    read_ = dialogButton(str(75511), this);
    clear_ = dialogButton(str(75512), this);
    close_ = dialogButton(str(75513), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(read_);
    buttons->addWidget(clear_);
    buttons->addStretch(1);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addWidget(notice_);
    layout->addLayout(buttons);

    connect(read_, &QPushButton::clicked, this, [this] { readContent(); });
    connect(clear_, &QPushButton::clicked, this, [this] {
        text_->clear();
        notice_->clear();
        notice_->setVisible(false);
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
}

CTestDlg::~CTestDlg() {
    // A connection handed over but never read (the dialog was not opened) is still ours.
    if (reader_.handle > 0) {
        closeReaderConnection(link_, reader_.handle);
        reader_.handle = 0;
    }
}

int CTestDlg::exec() {
    if (!readContent()) {
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

QString CTestDlg::reportText() const {
    return text_->toPlainText();
}

QString CTestDlg::noticeText() const {
    return notice_->isHidden() ? QString() : notice_->text();
}

void CTestDlg::showText(const QString& text) {
    // The report separates its lines with CR LF; the text field wants bare line breaks.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text_->setPlainText(shown);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool CTestDlg::readContent() {
    WaitCursor wait;
    text_->clear();
    notice_->clear();
    notice_->setVisible(false);

    int handle = reader_.handle;
    reader_.handle = 0; // whatever happens below, this reading closes the connection
    if (handle <= 0) {
        OpenResult opened;
        if (sheetServices().connectReader) {
            opened = sheetServices().connectReader(this);
        }
        if (opened.handle <= 0) {
            messageBox().show(this, str(kStrConnectionFailed), IMessageBox::Kind::Warning);
            return false;
        }
        handle = opened.handle;
        reader_ = opened;
        reader_.handle = 0;
    }

    ReaderLink& link = link_;
    const ReportReads reads = readReportBlocks(
        link, handle, [this](const ReportReads& sofar) { showText(buildReport(sofar).text); });
    const int error = link.lastError(handle);
    closeReaderConnection(link, handle);

    const ReportOutcome report = buildReport(reads);
    showText(report.text);
    if (report.prefixFailed) {
        messageBox().show(this, readErrorText(error), IMessageBox::Kind::Warning);
    } else if (!report.complete) {
        // The reader stopped answering part-way: say so rather than leave a report that looks
        // complete but lacks the data formats or the parameters.
        notice_->setText(str(75514));
        notice_->setVisible(true);
    }
    return true;
}

} // namespace veltra
