// The clipboard over the Win32 clipboard API.
#pragma once

#include <string>

#include "form/controls.hpp"
#include "form/windows_clipboard.hpp"
#include "win32/windows_api.hpp"

namespace quill::win32 {

// The clipboard operations over the Win32 clipboard API.
class SystemClipboardPort final : public ClipboardPort {
public:
    explicit SystemClipboardPort(HWND owner) : owner_(owner) {}
    void Open() override;
    void Close() noexcept override;
    void Empty() override;
    void* AllocateText(const std::wstring& text) override;
    void SetUnicodeText(void* block) override;
    void Free(void* block) noexcept override;
    void Sleep(unsigned milliseconds) noexcept override;

private:
    HWND owner_;
};

class SystemClipboard final : public Clipboard {
public:
    explicit SystemClipboard(HWND owner) : port_(owner) {}
    void SetText(const std::wstring& text) override { WriteClipboardText(port_, text); }

private:
    SystemClipboardPort port_;
};

}  // namespace quill::win32
