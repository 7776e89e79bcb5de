// Report lengths of a HID reader from its report descriptor.
#ifndef QNLINK_REPORTDESCRIPTOR_H
#define QNLINK_REPORTDESCRIPTOR_H

#include <cstddef>
#include <cstdint>
#include <optional>

namespace qnlink {

// Lengths of the input and output report in bytes, the report ID byte included.
struct ReportLengths {
    int input = 9;
    int output = 9;
};

constexpr int kDefaultReportLength = 9;
constexpr int kMaxOutputReportLength = 64;
constexpr int kMaxInputReportLength = 4096;

// The lengths of the one report without a report ID: report size x report count of its input
// and of its output items, rounded up to whole bytes, plus the report ID byte. A direction the
// descriptor has no items for keeps 9; the output report is cut to 64 bytes. Empty when the
// descriptor describes no unnumbered input or output report at all or is malformed.
std::optional<ReportLengths> reportLengthsFromDescriptor(const std::uint8_t* data,
                                                         std::size_t size);

} // namespace qnlink

#endif
