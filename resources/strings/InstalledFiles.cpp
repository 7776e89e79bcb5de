#include "resources/strings/InstalledFiles.h"

#include <QDir>
#include <QFileInfo>

namespace veltra {

QStringList dataFolders(const QString& programDir) {
    const QDir dir(programDir);
    return {QDir::cleanPath(dir.absolutePath()),
            QDir::cleanPath(dir.absoluteFilePath(QStringLiteral("../share/quarnel-veltra"))),
            QDir::cleanPath(dir.absoluteFilePath(QStringLiteral("../share/doc/quarnel-veltra")))};
}

QString findDataFile(const QString& programDir, const QString& name) {
    for (const QString& folder : dataFolders(programDir)) {
        const QFileInfo file(QDir(folder).filePath(name));
        if (file.isFile() && file.isReadable()) {
            return file.filePath();
        }
    }
    return {};
}

} // namespace veltra
