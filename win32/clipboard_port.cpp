#include "win32/clipboard_port.hpp"

#include <cstring>

#include "win32/system_error.hpp"

namespace quill::win32 {

void SystemClipboardPort::Open() {
    if (!OpenClipboard(owner_)) RaiseLastError("Opening the clipboard");
}

void SystemClipboardPort::Close() noexcept { CloseClipboard(); }

void SystemClipboardPort::Empty() {
    if (!EmptyClipboard()) RaiseLastError("Emptying the clipboard");
}

void* SystemClipboardPort::AllocateText(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);  // the terminator too
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block) RaiseLastError("Allocating memory for the clipboard");
    auto* target = static_cast<wchar_t*>(GlobalLock(block));
    if (!target) {
        const DWORD error = GetLastError();
        GlobalFree(block);
        Raise(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE, "Allocating memory for the clipboard");
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(block);
    return block;
}

void SystemClipboardPort::SetUnicodeText(void* block) {
    if (!SetClipboardData(CF_UNICODETEXT, static_cast<HGLOBAL>(block))) {
        RaiseLastError("Putting the text on the clipboard");
    }
}

void SystemClipboardPort::Free(void* block) noexcept { GlobalFree(static_cast<HGLOBAL>(block)); }

void SystemClipboardPort::Sleep(unsigned milliseconds) noexcept { ::Sleep(milliseconds); }

}  // namespace quill::win32
