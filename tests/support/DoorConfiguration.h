// A small configuration file as a production line programs it into many readers: the reader's
// model, prefix STX, suffix "#" CR LF, ten digits of the transponder number, read cyclically.
// Shared by the station's dialog test and its benchmark, which program it into simulators.
#pragma once

#include <fstream>
#include <string>

namespace veltra::test {

// Writes the configuration for `model` to `file`; false when it cannot be written.
inline bool writeDoorConfiguration(const std::string& file, const std::string& model) {
    std::ofstream out(file);
    out << "[Device]\nName=" << model
        << "\n[Prefix]\nCount=1\nAscii0=2\n[Suffix]\nCount=3\nAscii0=35\n"
           "Ascii1=13\nAscii2=10\n[Abziehen]\nCount=0\n[Termix]\nCount=0\n"
           "[Data1]\nTransponderTyp=0\nRegister1=1\nDarstellung=1\nLaenge=10\n"
           "GueltigeBytes=5\nGueltigeBytesAb=1\n"
           "[Data]\nBetriebsart=1\nZykluszeit=500\nBaudrate=19200\n"
           "Aufforderung=?\nTimeout=1000\nReaderModus=1\n";
    out.close();
    return static_cast<bool>(out);
}

} // namespace veltra::test
