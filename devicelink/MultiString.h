// Lists handed to the caller: entries one after another, each ended by a NUL, the whole ended
// by one more NUL.
#ifndef QNLINK_MULTISTRING_H
#define QNLINK_MULTISTRING_H

#include <string>
#include <vector>

namespace qnlink {

// Copies entries while each fits together with its NUL and the final NUL; stops at the first
// entry that does not fit. Returns the bytes used including the final NUL (1 for an empty
// list), or 0 when the buffer cannot even take the final NUL. Empty entries are skipped: they
// would end the list early for the reader of it.
int writeMultiString(const std::vector<std::string>& entries, char* buffer, int size);

// Keeps the USB entries whose first four characters, read as a decimal number, belong to the
// reader product numbers.
bool isReaderProductNumber(const std::string& entry);

} // namespace qnlink

#endif
