// Choosing colours through the real colour dialog.
#include <gtest/gtest.h>

#include <string>

#include "exe_driver.hpp"
#include "form/layout.hpp"

namespace quill::test {
namespace {

class PickTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(app.main(), nullptr) << "the window did not appear"; }

    void ExpectShown(const wchar_t* dec, const wchar_t* r, const wchar_t* g, const wchar_t* b, const wchar_t* hex,
                     COLORREF swatch) {
        EXPECT_EQ(app.Text(kIdTxtColor), dec);
        EXPECT_EQ(app.Text(kIdTxtRed), r);
        EXPECT_EQ(app.Text(kIdTxtGreen), g);
        EXPECT_EQ(app.Text(kIdTxtBlue), b);
        EXPECT_EQ(app.Text(kIdTxtHexa), hex);
        const RECT sh = ClientRectOnScreen(app.Control(kIdSh));
        EXPECT_EQ(PixelAt({(sh.left + sh.right) / 2, (sh.top + sh.bottom) / 2}), swatch) << "swatch";
        EXPECT_EQ(PixelAt({sh.left + 3, sh.top + 3}), swatch) << "swatch is filled to its border";
    }

    ExeDriver app;
};

TEST_F(PickTest, MouseClickOpensTheModalDialogOnTopOfTheWindow) {
    ASSERT_TRUE(app.Activate());
    const RECT button = ClientRectOnScreen(app.Control(kIdCommand1));
    ClickAt({(button.left + button.right) / 2, (button.top + button.bottom) / 2});
    HWND dialog = app.WaitForColorDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowEnabled(app.main())) << "the dialog is modal to the window";
    EXPECT_NE(GetDlgItem(dialog, 706), nullptr) << "opens fully, with the channel boxes";
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 706)));
    // Cancelling the first use shows the component's colour: black.
    ASSERT_TRUE(app.CancelDialog(dialog));
    ASSERT_TRUE(WaitUntil([&] { return app.Text(kIdTxtHexa) == L"000000"; }));
    EXPECT_TRUE(IsWindowEnabled(app.main()));
    ExpectShown(L"0", L"0", L"0", L"0", L"000000", RGB(0, 0, 0));
}

TEST_F(PickTest, SpaceOnTheFocusedButtonOpensTheDialog) {
    ASSERT_TRUE(app.Activate());
    ASSERT_EQ(app.Focus(), app.Control(kIdCommand1));
    PressKey(VK_SPACE);
    HWND dialog = app.WaitForColorDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(app.CancelDialog(dialog));
}

TEST_F(PickTest, PickedColoursFillAllFiveReadOutsAndTheSwatch) {
    ASSERT_TRUE(app.Pick(255, 128, 0));
    ExpectShown(L"33023", L"255", L"128", L"0", L"FF8000", RGB(255, 128, 0));
    ASSERT_TRUE(app.Pick(0, 0, 255));  // decimal in packed order, code in HTML order
    ExpectShown(L"16711680", L"0", L"0", L"255", L"0000FF", RGB(0, 0, 255));
    ASSERT_TRUE(app.Pick(255, 255, 255));
    ExpectShown(L"16777215", L"255", L"255", L"255", L"FFFFFF", RGB(255, 255, 255));
    ASSERT_TRUE(app.Pick(0, 0, 0));
    ExpectShown(L"0", L"0", L"0", L"0", L"000000", RGB(0, 0, 0));
}

TEST_F(PickTest, CancelRewritesTheLastConfirmedColourAndRaisesNothing) {
    ASSERT_TRUE(app.Pick(18, 52, 86));
    // Dial in another colour, then cancel: the confirmed one stays.
    app.PostClick(kIdCommand1);
    HWND dialog = app.WaitForColorDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetDlgItemInt(dialog, 706, nullptr, FALSE), 18u) << "reopens on the current colour";
    EXPECT_EQ(GetDlgItemInt(dialog, 708, nullptr, FALSE), 86u);
    SetDlgItemTextW(dialog, 706, L"200");
    ASSERT_TRUE(app.CancelDialog(dialog));
    Sleep(200);
    ExpectShown(L"5649426", L"18", L"52", L"86", L"123456", RGB(18, 52, 86));
    EXPECT_EQ(app.MessageBox(), nullptr);
    EXPECT_TRUE(app.Running());
}

}  // namespace
}  // namespace quill::test
