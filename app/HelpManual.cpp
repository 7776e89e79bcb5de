#include "app/HelpManual.h"

#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace veltra {

QString findManual(const QString& programDir) {
    const QDir dir(programDir);
    const QStringList found =
        dir.entryList({QStringLiteral("*.pdf")}, QDir::Files | QDir::Readable, QDir::Name);
    return found.isEmpty() ? QString() : dir.filePath(found.first());
}

void openManual(QWidget* owner, const QString& programDir,
                const std::function<bool(const QUrl&)>& open) {
    const QString manual = findManual(programDir);
    if (manual.isEmpty()) {
        return;
    }
    const QUrl url = QUrl::fromLocalFile(manual);
    const bool started = open ? open(url) : QDesktopServices::openUrl(url);
    if (!started) {
        // The desktop found no program for PDF files.
        messageBox().show(owner, str(10001), IMessageBox::Kind::Error);
    }
}

} // namespace veltra
