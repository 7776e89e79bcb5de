#include "app/HelpManual.h"

#include "resources/strings/InstalledFiles.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace veltra {

QString findManual(const QString& programDir, bool english) {
    for (const QString& folder : dataFolders(programDir)) {
        const QDir dir(folder);
        const QStringList found =
            dir.entryList({QStringLiteral("*.pdf")}, QDir::Files | QDir::Readable, QDir::Name);
        if (found.isEmpty()) {
            continue;
        }
        for (const QString& name : found) {
            if (name.endsWith(QStringLiteral("-en.pdf"), Qt::CaseInsensitive) == english) {
                return dir.filePath(name);
            }
        }
        return dir.filePath(found.first());
    }
    return {};
}

void openManual(QWidget* owner, const QString& programDir, bool english,
                const std::function<bool(const QUrl&)>& open) {
    const QString manual = findManual(programDir, english);
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
