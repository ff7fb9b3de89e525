#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/failure.hpp"
#include "form/windows_clipboard.hpp"

namespace quill {
namespace {

// A clipboard whose every operation can fail; it records the calls and
// tracks who owns the text block.
struct FakePort : ClipboardPort {
    std::vector<std::string> calls;
    std::string failing;  // the operation that fails
    unsigned failing_error = 1418;
    int busy_opens = 0;  // opens that fail as "held by another program"
    int sleeps_ms = 0;
    bool open = false;
    int live_blocks = 0;  // blocks neither freed nor taken
    std::wstring clipboard_text;
    std::wstring block_text;

    void MaybeFail(const std::string& op) {
        calls.push_back(op);
        if (op == failing) throw Failure(failing_error, op + " failed");
    }
    void Open() override {
        if (busy_opens > 0) {
            --busy_opens;
            calls.push_back("Open");
            throw Failure(kClipboardBusyError, "Access is denied.");
        }
        MaybeFail("Open");
        open = true;
    }
    void Close() noexcept override {
        calls.push_back("Close");
        open = false;
    }
    void Empty() override { MaybeFail("Empty"); }
    void* AllocateText(const std::wstring& text) override {
        MaybeFail("Allocate");
        ++live_blocks;
        block_text = text;
        return &block_text;
    }
    void SetUnicodeText(void*) override {
        MaybeFail("Set");
        --live_blocks;  // the clipboard owns it now
        clipboard_text = block_text;
    }
    void Free(void*) noexcept override {
        calls.push_back("Free");
        --live_blocks;
    }
    void Sleep(unsigned ms) noexcept override { sleeps_ms += static_cast<int>(ms); }
};

TEST(ClipboardWriter, HandsOverTheExactTextAndCloses) {
    for (const std::wstring& text : {std::wstring(L""), std::wstring(L"33023")}) {
        FakePort port;
        WriteClipboardText(port, text);
        EXPECT_EQ(port.clipboard_text, text);
        EXPECT_EQ(port.calls, (std::vector<std::string>{"Open", "Empty", "Allocate", "Set", "Close"}));
        EXPECT_FALSE(port.open);
        EXPECT_EQ(port.live_blocks, 0);
    }
}

TEST(ClipboardWriter, EachFailingStepRaisesItsErrorClosesAndLeaksNothing) {
    for (const char* step : {"Open", "Empty", "Allocate", "Set"}) {
        SCOPED_TRACE(step);
        FakePort port;
        port.failing = step;
        try {
            WriteClipboardText(port, L"255");
            ADD_FAILURE() << "no failure raised";
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), 1418u);
            EXPECT_EQ(f.description(), std::string(step) + " failed");
        }
        EXPECT_FALSE(port.open);
        EXPECT_EQ(port.live_blocks, 0) << "a refused block must be freed, a taken one never";
        EXPECT_EQ(port.sleeps_ms, 0) << "only a busy clipboard is waited for";
        const bool opened = std::string(step) != "Open";
        EXPECT_EQ(port.calls.back() == "Close", opened) << "close exactly what was opened";
    }
}

TEST(ClipboardWriter, WaitsBrieflyForAnotherHolder) {
    FakePort port;
    port.busy_opens = 3;
    WriteClipboardText(port, L"33023");
    EXPECT_EQ(port.clipboard_text, L"33023");
    EXPECT_EQ(port.sleeps_ms, 3 * static_cast<int>(kClipboardRetryDelayMs));
}

TEST(ClipboardWriter, GivesUpAfterAboutATenthOfASecond) {
    FakePort port;
    port.busy_opens = 1000;
    try {
        WriteClipboardText(port, L"33023");
        FAIL() << "a held clipboard was reported as success";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), kClipboardBusyError);
    }
    EXPECT_GE(port.sleeps_ms, 80);
    EXPECT_LE(port.sleeps_ms, 120);
    EXPECT_EQ(port.live_blocks, 0);
    EXPECT_FALSE(port.open);
}

}  // namespace
}  // namespace quill
