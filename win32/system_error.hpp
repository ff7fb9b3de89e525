// Win32 failures as the program's Failure type (the error number and the
// system's description), and the UTF-8/UTF-16 conversions they need.
#pragma once

#include "win32/windows_api.hpp"

#include <string>
#include <string_view>

#include "base/failure.hpp"

namespace quill::win32 {

std::string ToUtf8(std::wstring_view text);
std::wstring ToWide(std::string_view utf8);

// The system's description of a Win32 error number, without the trailing
// line break; a plain "Error N" when the system has none.
std::string SystemMessage(DWORD error);

// A Failure carrying error and what failed plus the system's description.
[[noreturn]] void Raise(DWORD error, std::string_view operation);
// Raises the calling thread's last error for operation. A call that failed
// without setting one is still reported, as ERROR_GEN_FAILURE.
[[noreturn]] void RaiseLastError(std::string_view operation);

}  // namespace quill::win32
