// Moving to a monitor of another DPI. Wine sends no WM_DPICHANGED, so the
// window is hosted in this process and the message is sent to it directly,
// as Windows would send it.
#include <gtest/gtest.h>

#include <thread>

#include "exe_driver.hpp"
#include "form/layout.hpp"
#include "win32/form_window.hpp"

namespace quill::test {
namespace {

TEST(DpiChange, WindowIsLaidOutAndFontedAnewAtTheNewDpi) {
    std::thread ui([] { win32::FormWindow::Run(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE); });
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (window = VisibleFormWindowOf(GetCurrentProcessId())) != nullptr; }))
        << "no window";

    for (const int dpi : {192, 120, 96}) {
        SCOPED_TRACE(dpi);
        RECT suggested{};
        GetWindowRect(window, &suggested);
        OffsetRect(&suggested, 10, 20);
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));

        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, MulDiv(4800, dpi, 1440));
        EXPECT_EQ(client.bottom, MulDiv(2760, dpi, 1440));
        RECT frame{};
        GetWindowRect(window, &frame);
        EXPECT_EQ(frame.left, suggested.left) << "placed where the system suggests";
        EXPECT_EQ(frame.top, suggested.top);

        const RECT copy = RectInParent(GetDlgItem(window, kIdCmdCopy));
        EXPECT_EQ(copy.left, MulDiv(2760, dpi, 1440));
        EXPECT_EQ(copy.top, MulDiv(555, dpi, 1440));
        EXPECT_EQ(copy.right, MulDiv(2760 + 1935, dpi, 1440));
        EXPECT_EQ(copy.bottom, MulDiv(555 + 375, dpi, 1440));
        const RECT hexa = RectInParent(GetDlgItem(window, kIdTxtHexa));
        EXPECT_EQ(hexa.left, MulDiv(1200, dpi, 1440));
        EXPECT_EQ(hexa.bottom, MulDiv(2400 + 285, dpi, 1440));

        // Every control uses one font of 8 points at the new DPI.
        const auto font = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(window, kIdLabel1), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW logical{};
        ASSERT_TRUE(GetObjectW(font, sizeof logical, &logical));
        EXPECT_EQ(logical.lfHeight, -MulDiv(8, dpi, 72));
        for (int id : {kIdCommand1, kIdTxtColor, kIdTxtHexa, kIdLabel5}) {
            EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(window, id), WM_GETFONT, 0, 0)), font) << id;
        }
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    ui.join();
    EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace quill::test
