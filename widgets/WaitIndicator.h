// Keeps the program responsive while the device link waits for a reader: the active window is
// disabled for the wait and keeps painting, and its state is restored afterwards.
#pragma once

#include "config/workflow/ReaderLink.h"

namespace veltra {

// Registers the program's wait handling with the device link (once, at start-up).
void installWaitIndicator(ReaderLink& link = qnLink());
// Removes it again (at exit, and in tests).
void removeWaitIndicator(ReaderLink& link = qnLink());

// The handler itself, for the device link's wait callback: phase is ReaderLink::kWaitBegin,
// kWaitProgress or kWaitEnd.
void handleReaderWait(int phase);

// Whether the device link is waiting for a reader right now. Work that would call the device
// link again (timers, device events) must wait until it is over.
bool readerWaitActive();

} // namespace veltra
