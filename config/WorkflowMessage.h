// A message for the technician: its string number (0 for none) and the text in the current
// language, formatted. Checks, file loading and the reading and programming sequences all end
// with one.
#pragma once

#include <string>

namespace veltra {

struct WorkflowMessage {
    int id = 0;
    std::string text;

    bool operator==(const WorkflowMessage&) const = default;
};

} // namespace veltra
