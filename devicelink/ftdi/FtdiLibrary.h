// Whether FTDI's D2XX access library is installed, for the missing-driver check. No FTDI link
// uses the library yet.
#ifndef QNLINK_FTDILIBRARY_H
#define QNLINK_FTDILIBRARY_H

namespace qnlink {

// True when libftd2xx.so can be loaded.
bool ftdiLibraryAvailable();

} // namespace qnlink

#endif
