#include "devicelink/ftdi/FtdiLibrary.h"

#include <dlfcn.h>

namespace qnlink {

bool ftdiLibraryAvailable() {
    void* library = dlopen("libftd2xx.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return false;
    }
    dlclose(library);
    return true;
}

} // namespace qnlink
