// The user manual: a PDF file in the program's folder or, for an installed program, in its
// documentation folder (see InstalledFiles.h), opened with the desktop's viewer.
#pragma once

#include <QString>

#include <functional>

class QUrl;
class QWidget;

namespace veltra {

// The manual's path, or empty when no folder holds a PDF file. The first folder with PDF files
// counts; in it the English manual is the one whose name ends in "-en.pdf", the German one any
// other. Without the wanted language's manual the other one is taken. Within a language the
// first in name order counts, so the choice does not depend on the file system's order.
QString findManual(const QString& programDir, bool english = false);

// Opens the manual; a missing manual is silent. A viewer that cannot be started is reported
// with the message for a missing PDF viewer. `open` defaults to the desktop's URL handler.
void openManual(QWidget* owner, const QString& programDir, bool english = false,
                const std::function<bool(const QUrl&)>& open = {});

} // namespace veltra
