// Points the device link at the stand-in D2XX library (StandInD2xx.c) for one test: writes its
// device table (serial number -> terminal, usually a simulator's pty) into a temporary folder and
// sets QN_FTD2XX_LIBRARY, QN_FTD2XX_STANDIN_DEVICES and QN_FTD2XX_STANDIN_LOG; the destructor
// removes all three and the folder.
//
//   SimProcess sim;
//   FtdiStandIn ftdi({{"1680A001", sim.port()}});
//   int h = QnOpenPort("1680A001", 9600, 0, 500);
//
// Needs QN_D2XX_STANDIN_DIR (defined by veltra_add_gtest).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace veltra::test {

class FtdiStandIn {
public:
    using Devices = std::vector<std::pair<std::string, std::string>>; // serial, path

    // variant: "" (complete) or "_no_latency", "_no_create", "_no_list", "_no_timeouts".
    explicit FtdiStandIn(const Devices& devices, const std::string& variant = "") {
        char pattern[] = "/tmp/qn-ftdi.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        dir_ = pattern;
        setDevices(devices);
        useVariant(variant);
        ::setenv("QN_FTD2XX_STANDIN_DEVICES", (dir_ / "devices").c_str(), 1);
        ::setenv("QN_FTD2XX_STANDIN_LOG", (dir_ / "calls.log").c_str(), 1);
    }
    ~FtdiStandIn() {
        ::unsetenv("QN_FTD2XX_LIBRARY");
        ::unsetenv("QN_FTD2XX_STANDIN_DEVICES");
        ::unsetenv("QN_FTD2XX_STANDIN_LOG");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    FtdiStandIn(const FtdiStandIn&) = delete;
    FtdiStandIn& operator=(const FtdiStandIn&) = delete;

    static std::string libraryPath(const std::string& variant) {
        return std::string(QN_D2XX_STANDIN_DIR) + "/libftd2xx_standin" + variant + ".so";
    }
    void useVariant(const std::string& variant) {
        ::setenv("QN_FTD2XX_LIBRARY", libraryPath(variant).c_str(), 1);
    }
    // An empty serial number stands for a device whose serial number cannot be read.
    void setDevices(const Devices& devices) {
        std::ofstream out(dir_ / "devices");
        for (const auto& [serial, path] : devices) {
            out << (serial.empty() ? "-" : serial) << ' ' << path << '\n';
        }
    }
    // What the stand-in was told so far, one call per line.
    std::string calls() const {
        std::ifstream in(dir_ / "calls.log");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path dir_;
};

} // namespace veltra::test
