#include "devicelink/HandlePool.h"

namespace qnlink {

int HandlePool::acquire() {
    int candidate = base_ + 1;
    for (int used : used_) {
        if (used != candidate) {
            break;
        }
        ++candidate;
    }
    used_.insert(candidate);
    return candidate;
}

void HandlePool::release(int handle) {
    used_.erase(handle);
}

} // namespace qnlink
