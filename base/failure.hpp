// The one failure type of the program: an error number and a description.
// Raised by the operation that failed and passed outward as an exception.
// Free of any toolkit's headers, so that every layer can raise and inspect it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quill {

// Error numbers the program raises itself. Win32 failures carry the system's
// own number (GetLastError, CommDlgExtendedError) instead.
enum : std::uint32_t {
    kErrorOverflow = 6,       // a number does not fit in 32 bits
    kErrorTypeMismatch = 13,  // a text is not a decimal number
    // Failures a toolkit does not number itself, numbered as Windows numbers
    // them, so that a report reads the same on every platform.
    kErrorOutOfMemory = 8,   // ERROR_NOT_ENOUGH_MEMORY
    kErrorInternal = 31,     // ERROR_GEN_FAILURE
    kErrorClipboard = 1418,  // ERROR_CLIPBOARD_NOT_OPEN: no clipboard, or it refused the text
};

class Failure : public std::runtime_error {
public:
    // description: UTF-8 text meant for a person.
    Failure(std::uint32_t number, const std::string& description) : std::runtime_error(description), number_(number) {}

    std::uint32_t number() const noexcept { return number_; }
    std::string description() const { return what(); }

private:
    std::uint32_t number_;
};

}  // namespace quill
