#include "form/windows_clipboard.hpp"

#include "base/failure.hpp"

namespace quill {

namespace {

void OpenWaitingForHolder(ClipboardPort& port) {
    for (int retry = 0;; ++retry) {
        try {
            port.Open();
            return;
        } catch (const Failure& failure) {
            if (failure.number() != kClipboardBusyError || retry == kClipboardOpenRetries) throw;
        }
        port.Sleep(kClipboardRetryDelayMs);
    }
}

class ClosesOnExit {
public:
    explicit ClosesOnExit(ClipboardPort& port) : port_(port) {}
    ~ClosesOnExit() { port_.Close(); }
    ClosesOnExit(const ClosesOnExit&) = delete;
    ClosesOnExit& operator=(const ClosesOnExit&) = delete;

private:
    ClipboardPort& port_;
};

}  // namespace

void WriteClipboardText(ClipboardPort& port, const std::wstring& text) {
    OpenWaitingForHolder(port);
    const ClosesOnExit closer(port);
    port.Empty();
    void* block = port.AllocateText(text);
    try {
        port.SetUnicodeText(block);
    } catch (...) {
        port.Free(block);
        throw;
    }
}

}  // namespace quill
