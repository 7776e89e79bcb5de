// Handle numbers of one link kind.
#ifndef QNLINK_HANDLEPOOL_H
#define QNLINK_HANDLEPOOL_H

#include <set>

namespace qnlink {

// Process-wide numbers in use for one link kind; hands out the lowest free number above base.
class HandlePool {
public:
    explicit HandlePool(int base) : base_(base) {}
    int acquire();
    void release(int handle);

private:
    int base_;
    std::set<int> used_;
};

} // namespace qnlink

#endif
