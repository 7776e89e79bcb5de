// The user manual: the first PDF file in the program's folder, opened with the desktop's viewer.
#pragma once

#include <QString>

#include <functional>

class QUrl;
class QWidget;

namespace veltra {

// The manual's path, or empty when the folder holds no PDF file. With several, the first in
// name order counts, so the choice does not depend on the file system's order.
QString findManual(const QString& programDir);

// Opens the manual; a missing manual is silent. A viewer that cannot be started is reported
// with the message for a missing PDF viewer. `open` defaults to the desktop's URL handler.
void openManual(QWidget* owner, const QString& programDir,
                const std::function<bool(const QUrl&)>& open = {});

} // namespace veltra
