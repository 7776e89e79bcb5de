// hidapi, loaded at run time: the file named by the environment variable QN_HIDAPI_LIBRARY, or
// libhidapi-hidraw.so.0 through the normal library search path. Without it no HID reader is
// listed and HID names fail to open; the rest of the library does not need it.
#ifndef QNLINK_HIDAPI_H
#define QNLINK_HIDAPI_H

#include <cstddef>
#include <memory>
#include <string>

// The few hidapi types the link uses, declared as hidapi 0.13 lays them out, at global scope
// and with C linkage as hidapi declares them: the entry points are called through pointers of
// exactly these types.
extern "C" {
struct hid_device_;
typedef struct hid_device_ hid_device;

struct hid_device_info {
    char* path;
    unsigned short vendor_id;
    unsigned short product_id;
    wchar_t* serial_number;
    unsigned short release_number;
    wchar_t* manufacturer_string;
    wchar_t* product_string;
    unsigned short usage_page;
    unsigned short usage;
    int interface_number;
    struct hid_device_info* next;
    int bus_type; // hid_bus_type, an enum
};
}

namespace qnlink {

class HidApi {
public:
    using InitFn = int (*)();
    using ExitFn = int (*)();
    using EnumerateFn = hid_device_info* (*)(unsigned short, unsigned short);
    using FreeEnumerationFn = void (*)(hid_device_info*);
    using OpenPathFn = hid_device* (*)(const char*);
    using CloseFn = void (*)(hid_device*);
    using WriteFn = int (*)(hid_device*, const unsigned char*, std::size_t);
    using ReadTimeoutFn = int (*)(hid_device*, unsigned char*, std::size_t, int);
    using SetNonblockingFn = int (*)(hid_device*, int);
    using SerialNumberFn = int (*)(hid_device*, wchar_t*, std::size_t);
    using ErrorFn = const wchar_t* (*)(hid_device*);
    using ReportDescriptorFn = int (*)(hid_device*, unsigned char*, std::size_t);

    // The hidapi the environment names now, loaded on first use and kept while anyone holds it;
    // nullptr when it cannot be loaded or lacks an entry point the link needs. Open HID links
    // hold their own reference, so the library stays loaded under them.
    static std::shared_ptr<HidApi> current();

    ~HidApi();
    HidApi(const HidApi&) = delete;
    HidApi& operator=(const HidApi&) = delete;

    const std::string& file() const { return file_; }

    InitFn init = nullptr;
    ExitFn exit = nullptr;
    EnumerateFn enumerate = nullptr;
    FreeEnumerationFn freeEnumeration = nullptr;
    OpenPathFn openPath = nullptr;
    CloseFn close = nullptr;
    WriteFn write = nullptr;
    ReadTimeoutFn readTimeout = nullptr;
    SetNonblockingFn setNonblocking = nullptr;
    SerialNumberFn serialNumber = nullptr;
    ErrorFn error = nullptr;
    // Only hidapi 0.14 and later have it; nullptr otherwise.
    ReportDescriptorFn reportDescriptor = nullptr;

private:
    HidApi() = default;
    static std::shared_ptr<HidApi> load(const std::string& file);

    std::string file_;
    void* library_ = nullptr;
};

} // namespace qnlink

#endif
