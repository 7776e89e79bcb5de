// What follows reading a keyboard reader: its layout is read and compared with this computer's;
// when they differ and the warning is on, the caller is asked whether to take the computer's
// layout. The HID page and veltra-cli both use it.
#pragma once

#include "config/workflow/ReaderLink.h"
#include "keys/KeyLayout.h"

#include <functional>

namespace veltra {

// `layout` receives the reader's layout, or the computer's when `askTakeComputerLayout` (called
// with the number of differences, only when there are some and `warn` is set) says yes. False
// when the reader's layout could not be read: `layout` then stays as it was.
bool checkReaderLayout(ReaderLink& link, int handle, KeyLayout& layout, bool warn,
                       const std::function<bool(int differences)>& askTakeComputerLayout);

} // namespace veltra
