// The text of the top-level error report, the same on every platform: the
// failure's number and description, and that the program ends.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

// UTF-8, with the description as given (UTF-8 too).
inline std::string FailureReportText(std::uint32_t number, const std::string& description) {
    return "Error " + std::to_string(number) + ": " + description +
           "\n\nQuillantern cannot continue and will now close.";
}

}  // namespace quill
