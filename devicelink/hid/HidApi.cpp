#include "devicelink/hid/HidApi.h"

#include <cstdlib>
#include <dlfcn.h>
#include <mutex>

namespace qnlink {

namespace {

constexpr const char* kDefaultLibrary = "libhidapi-hidraw.so.0";

std::string configuredFile() {
    const char* value = std::getenv("QN_HIDAPI_LIBRARY");
    return (value != nullptr && *value != '\0') ? std::string(value) : std::string(kDefaultLibrary);
}

template <typename Fn>
bool resolve(void* library, const char* symbol, Fn& out) {
    out = reinterpret_cast<Fn>(dlsym(library, symbol));
    return out != nullptr;
}

} // namespace

std::shared_ptr<HidApi> HidApi::load(const std::string& file) {
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return nullptr;
    }
    std::shared_ptr<HidApi> api(new HidApi);
    api->file_ = file;
    api->library_ = library;
    const bool complete =
        resolve(library, "hid_init", api->init) && resolve(library, "hid_exit", api->exit) &&
        resolve(library, "hid_enumerate", api->enumerate) &&
        resolve(library, "hid_free_enumeration", api->freeEnumeration) &&
        resolve(library, "hid_open_path", api->openPath) &&
        resolve(library, "hid_close", api->close) && resolve(library, "hid_write", api->write) &&
        resolve(library, "hid_read_timeout", api->readTimeout) &&
        resolve(library, "hid_set_nonblocking", api->setNonblocking) &&
        resolve(library, "hid_get_serial_number_string", api->serialNumber) &&
        resolve(library, "hid_error", api->error);
    if (!complete || api->init() != 0) {
        api->init = nullptr; // no hid_exit for a library that was not initialised
        return nullptr;      // the destructor unloads it
    }
    resolve(library, "hid_get_report_descriptor", api->reportDescriptor);
    return api;
}

HidApi::~HidApi() {
    if (init != nullptr && exit != nullptr) {
        exit();
    }
    if (library_ != nullptr) {
        dlclose(library_);
    }
}

std::shared_ptr<HidApi> HidApi::current() {
    // The environment does not change in a running program; tests that switch the library
    // between cases get the newly named one, while links still open keep the old one.
    static std::mutex mutex;
    static std::shared_ptr<HidApi> loaded;
    static std::string loadedFile;
    static bool tried = false;
    std::lock_guard lock(mutex);
    const std::string file = configuredFile();
    if (!tried || file != loadedFile) {
        loaded = load(file);
        loadedFile = file;
        tried = true;
    }
    return loaded;
}

} // namespace qnlink
