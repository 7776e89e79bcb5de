// FTDI's D2XX access library, loaded at run time when it is installed.
#ifndef QNLINK_FTDILIBRARY_H
#define QNLINK_FTDILIBRARY_H

namespace qnlink {

// True when libftd2xx.so can be loaded.
bool ftdiLibraryAvailable();

} // namespace qnlink

#endif
