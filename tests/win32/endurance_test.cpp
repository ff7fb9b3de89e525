// Hours of use in a few minutes: a thousand picks through the real colour
// dialog and a thousand copies, each checked, without the process growing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "exe_driver.hpp"
#include "form/layout.hpp"

namespace quill::test {
namespace {

// Committed private memory of a process: the sum of its MEM_PRIVATE
// committed regions. (Wine reports no PrivateUsage for other processes.)
SIZE_T CommittedPrivateBytes(HANDLE process) {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region{};
    std::uintptr_t address = 0;
    while (VirtualQueryEx(process, reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;  // wrapped at the top of the address space
        address = next;
    }
    return total;
}

std::wstring Decimal(int v) { return std::to_wstring(v); }

TEST(Endurance, ThousandPicksAndCopiesKeepEveryReadOutRightAndMemoryFlat) {
    ExeDriver app;
    ASSERT_NE(app.main(), nullptr);
    constexpr int kWarmUp = 30, kRounds = 1000;
    SIZE_T before = 0;
    for (int i = 0; i < kWarmUp + kRounds; ++i) {
        if (i == kWarmUp) before = CommittedPrivateBytes(app.process());
        // A walk over the colour cube that touches every channel value.
        const int red = (i * 37) % 256, green = (i * 101 + 50) % 256, blue = (i * 211 + 7) % 256;
        ASSERT_TRUE(app.Pick(red, green, blue)) << "pick " << i;
        const int color = red | (green << 8) | (blue << 16);
        ASSERT_EQ(app.Text(kIdTxtColor), Decimal(color)) << "pick " << i;
        ASSERT_EQ(app.Text(kIdTxtRed), Decimal(red)) << "pick " << i;
        ASSERT_EQ(app.Text(kIdTxtGreen), Decimal(green)) << "pick " << i;
        ASSERT_EQ(app.Text(kIdTxtBlue), Decimal(blue)) << "pick " << i;

        app.PostClick(kIdCmdCopy);
        std::wstring copied;
        ASSERT_TRUE(WaitUntil([&] { return ReadClipboardText(copied) && copied == Decimal(color); }, 5s))
            << "copy " << i << " gave " << copied;
    }
    const SIZE_T after = CommittedPrivateBytes(app.process());
    std::printf("committed private memory: %lu KB after warm-up, %lu KB after %d rounds\n",
                static_cast<unsigned long>(before / 1024), static_cast<unsigned long>(after / 1024), kRounds);
    EXPECT_LT(after, before + 2 * 1024 * 1024) << "the process grew by " << (after - before) / 1024 << " KB";
    EXPECT_TRUE(app.Running());
    PostMessageW(app.main(), WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExit(), 0u);
}

}  // namespace
}  // namespace quill::test
