// Putting text on the Windows clipboard: the sequence its API asks for
// (OpenClipboard, waiting briefly for another holder; EmptyClipboard; a
// global block handed to SetClipboardData, given back if it was refused;
// CloseClipboard always), over a port of those raw operations. It lives
// here, toolkit-free, so that native tests can fail any operation; the
// port over the real API is win32/clipboard_port.*. The Linux program's
// clipboard is Qt's, with no such sequence (qt/control_adapters.*).
#pragma once

#include <string>

namespace quill {

// Raw clipboard operations. Each raises a Failure carrying the system's error
// number and description when it fails.
class ClipboardPort {
public:
    virtual ~ClipboardPort() = default;
    virtual void Open() = 0;
    virtual void Close() noexcept = 0;
    virtual void Empty() = 0;
    // A block holding text and its terminator, ready to hand to SetUnicodeText.
    virtual void* AllocateText(const std::wstring& text) = 0;
    // On success the clipboard owns block; on failure the caller still does.
    virtual void SetUnicodeText(void* block) = 0;
    virtual void Free(void* block) noexcept = 0;
    virtual void Sleep(unsigned milliseconds) noexcept = 0;
};

// Another program holding the clipboard makes opening it fail with this
// error (ERROR_ACCESS_DENIED); such holds normally last milliseconds.
constexpr unsigned kClipboardBusyError = 5;
constexpr unsigned kClipboardRetryDelayMs = 15;
constexpr int kClipboardOpenRetries = 6;  // about 100 ms in all

// Sets the clipboard's text. Opening is tried again while the clipboard is
// busy, for about 100 ms; any other failure, or a longer hold, is raised.
void WriteClipboardText(ClipboardPort& port, const std::wstring& text);

}  // namespace quill
