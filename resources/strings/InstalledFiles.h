// Where the program finds its data files (the English translation, the manual): next to the
// program, as in the build tree or a program folder unpacked anywhere, and then in the data
// folders of an installation beside the program's folder (<prefix>/bin next to
// <prefix>/share/quarnel-veltra and <prefix>/share/doc/quarnel-veltra).
#pragma once

#include <QString>
#include <QStringList>

namespace veltra {

// The folders to look in, in order.
QStringList dataFolders(const QString& programDir);

// The first readable file `name` in dataFolders, or empty.
QString findDataFile(const QString& programDir, const QString& name);

} // namespace veltra
