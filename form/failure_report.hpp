// The top-level error report, the same on every platform: which failure it
// reports, and its text (the failure's number and description, and that the
// program ends).
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <string>

#include "base/failure.hpp"

namespace quill {

// Inside a catch block: the exception being handled, as a Failure. The
// program's own failures keep their number and description; anything else
// is numbered as Windows numbers it.
inline Failure CurrentFailure() noexcept {
    try {
        throw;
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::bad_alloc&) {
        return Failure(kErrorOutOfMemory, "Not enough memory");
    } catch (const std::exception& error) {
        return Failure(kErrorInternal, error.what());
    } catch (...) {
        return Failure(kErrorInternal, "Internal error");
    }
}

// UTF-8, with the description as given (UTF-8 too).
inline std::string FailureReportText(std::uint32_t number, const std::string& description) {
    return "Error " + std::to_string(number) + ": " + description +
           "\n\nQuillantern cannot continue and will now close.";
}

}  // namespace quill
