#include "keys/workflow/LayoutCheck.h"

#include "keys/ComputerLayout.h"
#include "keys/workflow/DeviceLayout.h"

namespace veltra {

bool checkReaderLayout(ReaderLink& link, int handle, KeyLayout& layout, bool warn,
                       const std::function<bool(int differences)>& askTakeComputerLayout) {
    KeyLayout reader;
    if (!ReadDeviceLayout(link, handle, reader)) {
        return false;
    }
    KeyLayout computer;
    ComputerLayout(computer);
    const int differences = CountLayoutDifferences(reader, computer);
    if (differences > 0 && warn && askTakeComputerLayout && askTakeComputerLayout(differences)) {
        layout = computer;
    } else {
        layout = reader;
    }
    return true;
}

} // namespace veltra
