// Small Win32 helpers: failures from error codes, text conversion, owning
// handles and DPI queries that also work on Windows older than 10 1607.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "colour/failure.hpp"

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

// An owned GDI object (font, brush, pen), deleted with its owner.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(other.release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Handle get() const { return handle_; }
    Handle release() {
        Handle h = handle_;
        handle_ = nullptr;
        return h;
    }
    void reset(Handle handle = nullptr) {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

using UniqueFont = GdiObject<HFONT>;

// DPI of window (per monitor where the system has it), or the system DPI.
UINT DpiForWindow(HWND window);
// AdjustWindowRectEx for a given DPI where the system supports it.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD ex_style, UINT dpi);
// The classic dialog font, "MS Sans Serif" 8 pt, at dpi. The layout's label
// and button widths are made for its metrics; wider faces clip "Zecimal:".
UniqueFont CreateDialogFont(UINT dpi);

}  // namespace quill::win32
