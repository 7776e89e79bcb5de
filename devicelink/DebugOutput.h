// The library's debug messages: written to standard error, one per line, only while the
// environment variable QN_DEBUG is "1". Read at every message, so it can be switched at run time.
#ifndef QNLINK_DEBUGOUTPUT_H
#define QNLINK_DEBUGOUTPUT_H

#include <string_view>

namespace qnlink {

bool debugOutputOn();
void debugOutput(std::string_view text);

} // namespace qnlink

#endif
