// The real window, driven from outside: frame, layout, texts, keyboard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exe_driver.hpp"
#include "form/layout.hpp"

namespace quill::test {
namespace {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int Px(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

struct Expected {
    int id;
    const wchar_t* window_class;
    int left, top, width, height;  // twips
    const wchar_t* text;
};

// The window's design, written out independently of the program's table.
const Expected kDesign[] = {
    {kIdSh, L"QuillanternSwatch", 120, 120, 2535, 375, L""},
    {kIdCommand1, L"Button", 2760, 120, 1935, 375, L"Selecteaza culoarea.."},
    {kIdCmdCopy, L"Button", 2760, 555, 1935, 375, L"Copiaza in clipboard"},
    {kIdTxtColor, L"Edit", 960, 600, 1695, 285, L""},
    {kIdLabel1, L"Static", 120, 615, 615, 255, L"Zecimal:"},
    {kIdTxtRed, L"Edit", 960, 1200, 1695, 285, L""},
    {kIdLabel2, L"Static", 120, 1215, 615, 255, L"Red:"},
    {kIdTxtGreen, L"Edit", 960, 1560, 1695, 285, L""},
    {kIdLabel3, L"Static", 120, 1575, 615, 255, L"Green:"},
    {kIdTxtBlue, L"Edit", 960, 1920, 1695, 285, L""},
    {kIdLabel4, L"Static", 120, 1935, 615, 255, L"Blue:"},
    {kIdTxtHexa, L"Edit", 1200, 2400, 1455, 285, L""},
    {kIdLabel5, L"Static", 120, 2415, 1095, 255, L"Hexa (HTML):"},
};

const int kTabOrder[] = {kIdCommand1, kIdTxtColor, kIdCmdCopy, kIdTxtRed, kIdTxtGreen, kIdTxtBlue, kIdTxtHexa};
const int kTextBoxes[] = {kIdTxtColor, kIdTxtRed, kIdTxtGreen, kIdTxtBlue, kIdTxtHexa};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(app.main(), nullptr) << "the window did not appear"; }
    ExeDriver app;
};

TEST_F(WindowTest, FrameIsAFixedCentredDialogWindow) {
    const int dpi = ScreenDpi();
    // The prefix's DPI, where the test was asked to run at a particular one.
    wchar_t wanted[16] = {};
    if (GetEnvironmentVariableW(L"QUILL_DPI", wanted, 16) > 0) {
        EXPECT_EQ(dpi, _wtoi(wanted));
    }
    EXPECT_EQ(TextOf(app.main()), L"Quillantern");
    const LONG style = GetWindowLongW(app.main(), GWL_STYLE);
    const LONG ex_style = GetWindowLongW(app.main(), GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU) << "the close box";
    EXPECT_FALSE(style & WS_THICKFRAME) << "resizable";
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(ex_style & WS_EX_TOOLWINDOW) << "no taskbar entry";
    EXPECT_EQ(GetWindow(app.main(), GW_OWNER), nullptr) << "an owned window has no taskbar entry";

    RECT client{};
    GetClientRect(app.main(), &client);
    EXPECT_EQ(client.right, Px(4800, dpi));
    EXPECT_EQ(client.bottom, Px(2760, dpi));

    RECT frame{};
    GetWindowRect(app.main(), &frame);
    const int screen_w = GetSystemMetrics(SM_CXSCREEN), screen_h = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR((frame.left + frame.right) / 2.0, screen_w / 2.0, 1.0);
    EXPECT_NEAR((frame.top + frame.bottom) / 2.0, screen_h / 2.0, 1.0);

    // The size cannot be changed by the system's own commands either.
    PostMessageW(app.main(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    PostMessageW(app.main(), WM_SYSCOMMAND, SC_SIZE, 0);
    PressKey(VK_ESCAPE);
    RECT after{};
    ASSERT_TRUE(WaitUntil([&] { return !IsZoomed(app.main()); }, 1s));
    GetWindowRect(app.main(), &after);
    EXPECT_TRUE(EqualRect(&frame, &after));
}

TEST_F(WindowTest, EveryControlHasItsDesignedPlaceClassAndText) {
    const int dpi = ScreenDpi();
    for (const Expected& e : kDesign) {
        SCOPED_TRACE(e.text);
        SCOPED_TRACE(e.id);
        HWND control = app.Control(e.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(ClassOf(control), e.window_class);
        EXPECT_EQ(TextOf(control), e.text);
        const RECT r = RectInParent(control);
        EXPECT_EQ(r.left, Px(e.left, dpi));
        EXPECT_EQ(r.top, Px(e.top, dpi));
        EXPECT_EQ(r.right, Px(e.left + e.width, dpi));
        EXPECT_EQ(r.bottom, Px(e.top + e.height, dpi));
        EXPECT_TRUE(IsWindowVisible(control));
    }
    // The separators: thin full-width lines at 1080 and 2280 twips.
    for (const auto& [id, y] : {std::pair{kIdLine1, 1080}, std::pair{kIdLine2, 2280}}) {
        const RECT r = RectInParent(app.Control(id));
        EXPECT_EQ(r.left, Px(120, dpi));
        EXPECT_EQ(r.right, Px(4680, dpi));
        EXPECT_EQ(r.top, Px(y, dpi));
        EXPECT_GE(r.bottom - r.top, 1);
        EXPECT_LE(r.bottom - r.top, (dpi + 48) / 96);
    }
    // The hex row's box lies above its label where the two overlap.
    HWND above = app.Control(kIdTxtHexa);
    bool label_below = false;
    for (HWND w = GetWindow(above, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        label_below = label_below || w == app.Control(kIdLabel5);
    }
    EXPECT_TRUE(label_below);
}

TEST_F(WindowTest, TextBoxesAreReadOnlyOnTheButtonFaceColour) {
    for (int id : kTextBoxes) {
        const LONG style = GetWindowLongW(app.Control(id), GWL_STYLE);
        EXPECT_TRUE(style & ES_READONLY) << id;
        EXPECT_FALSE(style & ES_MULTILINE) << id;
        EXPECT_TRUE(style & WS_TABSTOP) << id;
        EXPECT_EQ(app.Text(id), L"") << id;
        const RECT box = ClientRectOnScreen(app.Control(id));
        const POINT inside{box.right - 4, (box.top + box.bottom) / 2};
        EXPECT_EQ(PixelAt(inside), GetSysColor(COLOR_BTNFACE)) << id;
    }
    for (int id : {kIdCommand1, kIdCmdCopy}) {
        EXPECT_EQ(GetWindowLongW(app.Control(id), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON) << "not a default button";
    }
    for (int id : {kIdLabel1, kIdLabel2, kIdLabel3, kIdLabel4, kIdLabel5}) {
        EXPECT_TRUE(GetWindowLongW(app.Control(id), GWL_STYLE) & SS_NOPREFIX) << "no access keys";
    }
}

TEST_F(WindowTest, FocusStartsOnTheChooseButtonAndTabCyclesInOrder) {
    ASSERT_TRUE(app.Activate());
    EXPECT_EQ(app.Focus(), app.Control(kIdCommand1));
    for (int step = 1; step <= 7; ++step) {
        PressKey(VK_TAB);
        const int expected = kTabOrder[step % 7];
        EXPECT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(expected); }, 2s))
            << "Tab " << step << " should reach control " << expected;
    }
    PressKey(VK_TAB, /*shift=*/true);
    EXPECT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kIdTxtHexa); }, 2s));
    // Having had the focus makes neither button the window's default.
    for (int id : {kIdCommand1, kIdCmdCopy}) {
        EXPECT_EQ(GetWindowLongW(app.Control(id), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON) << id;
    }
}

TEST_F(WindowTest, EnterOnAFocusedButtonPressesIt) {
    ASSERT_TRUE(app.Activate());
    PressKey(VK_RETURN);
    HWND dialog = app.WaitForColorDialog(5s);
    ASSERT_NE(dialog, nullptr) << "Enter on the focused choose button";
    ASSERT_TRUE(app.CancelDialog(dialog));
    // Back from the dialog, the focus is where it was.
    EXPECT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kIdCommand1); }, 3s));

    // Enter on the focused copy button copies.
    ASSERT_TRUE(PutClipboardText(L"before"));
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kIdCmdCopy); }, 2s));
    PressKey(VK_RETURN);
    std::wstring text;
    EXPECT_TRUE(WaitUntil([&] { return ReadClipboardText(text) && text == L"0"; }, 3s)) << text;
}

TEST_F(WindowTest, TypingEnterAndEscapeInATextBoxChangeNothing) {
    ASSERT_TRUE(app.Activate());
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Control(kIdTxtColor); }, 2s));
    TypeText(L"123abc");
    PressKey(VK_BACK);
    PressKey(VK_DELETE);
    PressKey(VK_RETURN);
    PressKey(VK_ESCAPE);
    PressKey('V', false, /*control=*/true);
    EXPECT_EQ(app.Text(kIdTxtColor), L"");
    EXPECT_EQ(app.ColorDialog(), nullptr) << "Enter pressed a button";
    EXPECT_TRUE(app.Running()) << "Escape closed the window";
    EXPECT_EQ(app.Focus(), app.Control(kIdTxtColor));
}

TEST_F(WindowTest, TextCanBeSelectedAndCopiedWithTheKeyboard) {
    ASSERT_TRUE(app.Pick(0, 128, 255));
    ASSERT_TRUE(PutClipboardText(L"something else"));
    ASSERT_TRUE(app.Activate());
    // Tab into the hex box (Tab selects a box's whole text), then Ctrl+C.
    while (app.Focus() != app.Control(kIdTxtHexa)) {
        PressKey(VK_TAB);
        ASSERT_NE(app.Focus(), app.Control(kIdCommand1)) << "never reached the hex box";
    }
    PressKey('C', false, /*control=*/true);
    std::wstring text;
    ASSERT_TRUE(WaitUntil([&] { return ReadClipboardText(text) && text == L"0080FF"; }, 3s)) << "clipboard: " << text;
    TypeText(L"x");
    EXPECT_EQ(app.Text(kIdTxtHexa), L"0080FF");
}

TEST_F(WindowTest, ClosingTheWindowEndsTheProgramWithExitCodeZero) {
    PostMessageW(app.main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST_F(WindowTest, AltF4EndsTheProgramToo) {
    ASSERT_TRUE(app.Activate());
    INPUT keys[4] = {};
    for (auto& k : keys) k.type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_MENU;
    keys[1].ki.wVk = VK_F4;
    keys[2].ki.wVk = VK_F4;
    keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
    keys[3].ki.wVk = VK_MENU;
    keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, keys, sizeof(INPUT));
    EXPECT_EQ(app.WaitForExit(), 0u);
}

}  // namespace
}  // namespace quill::test
