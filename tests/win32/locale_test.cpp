// The window in the user's locale (LANG as Wine gives it, one run per table
// row in win32/CMakeLists.txt): never mirrored, every label and button shows
// its whole text inside the control, on one line, and a pick reads the same.
// QUILL_HIDE_FONTS names font files of the prefix to hide for the run, as a
// prefix that lacks the locale's edition of the dialog face is.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "exe_driver.hpp"
#include "form/layout.hpp"

namespace quill::test {
namespace {

// Renames the named files of the prefix's Fonts folder away for its lifetime.
class HiddenFonts {
public:
    HiddenFonts() {
        wchar_t names[512] = {};
        if (!GetEnvironmentVariableW(L"QUILL_HIDE_FONTS", names, 512)) return;
        wchar_t folder[MAX_PATH] = {};
        GetWindowsDirectoryW(folder, MAX_PATH);
        std::wstring list = names;
        for (std::size_t begin = 0; begin < list.size();) {
            const std::size_t end = std::min(list.find(L' ', begin), list.size());
            const std::wstring path = std::wstring(folder) + L"\\Fonts\\" + list.substr(begin, end - begin);
            if (MoveFileExW(path.c_str(), (path + L".hidden").c_str(), MOVEFILE_REPLACE_EXISTING)) {
                hidden_.push_back(path);
            }
            begin = end + 1;
        }
    }
    ~HiddenFonts() {
        for (const std::wstring& path : hidden_) MoveFileExW((path + L".hidden").c_str(), path.c_str(), 0);
    }
    bool any() const { return !hidden_.empty(); }

private:
    std::vector<std::wstring> hidden_;
};

// The screen's pixels of a window (all of it, as drawn now).
struct Pixels {
    int width = 0, height = 0;
    std::vector<COLORREF> values;
    bool Ink(int x, int y) const {  // dark: text (and frames) on the button face
        const COLORREF c = values[static_cast<std::size_t>(y * width + x)];
        return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 100;
    }
    // The ink's bounding box within [left, right) x [top, bottom); empty if none.
    RECT InkBox(int left, int top, int right, int bottom) const {
        RECT box{right, bottom, left, top};
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                if (!Ink(x, y)) continue;
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                       std::max<LONG>(box.bottom, y + 1)};
            }
        }
        return box;
    }
};

Pixels Capture(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    Pixels pixels{r.right - r.left, r.bottom - r.top, {}};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, pixels.width, pixels.height);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, r.left, r.top, SRCCOPY);
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) pixels.values.push_back(GetPixel(memory, x, y));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Returns once the control's thread has handled what was sent to it
// (painting included: the caller's RDW_UPDATENOW paints synchronously).
void Answered(HWND control) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(control, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &result);
}

// Wine copies a painted window to the X server when the window's thread
// next waits for messages, and while it is busy at least every 50 ms.
// Nothing tells another process when that copy has reached the screen
// (waiting for the program to be idle did not: a test beside a busy make
// test saw a label raised over its neighbours still showing them), and
// under load the thread may not have run by the next capture, so two
// captures in a row can both show the window as it was. A capture that has
// stayed the same for longer than that cycle shows the window as painted.
constexpr auto kScreenSettles = 150ms;

// The control as drawn once it has settled: its text shows (every label and
// button has one), and the captures, each after its thread answered, have
// stayed alike for kScreenSettles.
Pixels Settled(HWND control) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const RECT r = RectInParent(control);
    const auto inked = [&](const Pixels& p) {
        const RECT box = p.InkBox(0, 0, r.right - r.left, r.bottom - r.top);
        return box.left < box.right;
    };
    Answered(control);
    Pixels last = Capture(control);
    auto since = std::chrono::steady_clock::now();
    WaitUntil(
        [&] {
            Answered(control);
            Pixels now = Capture(control);
            if (now.values != last.values || !inked(now)) {
                last = std::move(now);
                since = std::chrono::steady_clock::now();
                return false;
            }
            return std::chrono::steady_clock::now() - since >= kScreenSettles;
        },
        30s);
    return last;
}

// The control drawn in room of `room` (its own size first), on top of its
// siblings, placed so that the room stays inside the window; then put back.
// Its own origin moves by `shift`.
Pixels InRoom(HWND control, SIZE room, POINT shift) {
    const RECT own = RectInParent(control);
    HWND before = GetWindow(control, GW_HWNDPREV);
    SetWindowPos(control, HWND_TOP, own.left + shift.x, own.top + shift.y, room.cx, room.cy, SWP_NOACTIVATE);
    Pixels pixels = Settled(control);
    SetWindowPos(control, before ? before : HWND_TOP, own.left, own.top, own.right - own.left, own.bottom - own.top,
                 SWP_NOACTIVATE);
    RedrawWindow(GetParent(control), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return pixels;
}

std::string Locale() {
    char lang[64] = "C";
    GetEnvironmentVariableA("LANG", lang, sizeof lang);
    return lang;
}

TEST(Locale, TheWindowIsNotMirroredAndEveryTextShowsWhole) {
    const HiddenFonts hidden;
    ExeDriver app;
    ASSERT_NE(app.main(), nullptr) << "the window did not appear under " << Locale();
    EXPECT_FALSE(GetWindowLongW(app.main(), GWL_EXSTYLE) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING));
    EXPECT_LT(RectInParent(app.Control(kIdSh)).left, RectInParent(app.Control(kIdCommand1)).left)
        << "the swatch on the left";
    if (hidden.any()) {
        // Without the face the layout was drawn for, the window grows.
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        const RECT client = ClientRectOnScreen(app.main());
        EXPECT_GT(client.right - client.left, MulDiv(kClientWidthTwips, dpi, 1440)) << "a wider face, a larger layout";
    }
    for (const ControlPlacement& placement : kControls) {
        if (placement.kind != ControlKind::Label && placement.kind != ControlKind::Button) continue;
        SCOPED_TRACE(Locale());
        SCOPED_TRACE(placement.id);
        HWND control = app.Control(placement.id);
        const RECT r = RectInParent(control);
        const int w = r.right - r.left, h = r.bottom - r.top;
        if (placement.kind == ControlKind::Label) {
            // Drawn in three times the room (raised where the window ends
            // below), the text covers the same pixels: nothing was cut at
            // the right or hidden on a second line.
            const Pixels own = Settled(control);
            const RECT shown = own.InkBox(0, 0, w, h);
            const RECT client = ClientRectOnScreen(app.main());
            const int raise = std::min(0L, (client.bottom - client.top) - (r.top + 3 * h));
            const RECT whole = InRoom(control, SIZE{3 * w, 3 * h}, POINT{0, raise}).InkBox(0, 0, 3 * w, 3 * h);
            EXPECT_LT(shown.left, shown.right) << "no text shown";
            EXPECT_TRUE(EqualRect(&shown, &whole))
                << "shown " << shown.left << ".." << shown.right << " x " << shown.top << ".." << shown.bottom
                << ", whole " << whole.left << ".." << whole.right << " x " << whole.top << ".." << whole.bottom;
            EXPECT_LE(shown.right, w - 1) << "ink at the right edge";
            EXPECT_LE(shown.bottom, h - 1) << "ink at the bottom edge";
        } else {
            // The text's width, drawn in twice the room (beyond the frame
            // and the focus rectangle), leaves three pixels clear inside the
            // 3-D edge on each side of the button itself.
            const int margin = 5;
            const RECT text =
                InRoom(control, SIZE{2 * w, h}, POINT{-w, 0}).InkBox(margin, margin, 2 * w - margin, h - margin);
            EXPECT_LT(text.left, text.right) << "no text shown";
            EXPECT_LE(text.right - text.left, w - 2 * (2 + 3))
                << "the text (" << text.right - text.left << " px) touches the edge of the button (" << w << " px)";
        }
    }
    // A pick reads the same in every locale: ASCII digits, the code in capitals.
    ASSERT_TRUE(app.Pick(255, 128, 0)) << "the read-outs of a pick under " << Locale();
    EXPECT_EQ(app.Text(kIdTxtRed), L"255");
    EXPECT_EQ(app.Text(kIdTxtGreen), L"128");
}

}  // namespace
}  // namespace quill::test
