// "Copiaza in clipboard" against the real clipboard, and the error report
// that ends the program when the clipboard cannot be had.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <thread>

#include "exe_driver.hpp"
#include "form/layout.hpp"

namespace quill::test {
namespace {

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(app.main(), nullptr) << "the window did not appear";
        ASSERT_TRUE(PutClipboardText(L"text from elsewhere"));
    }

    // Clicks copy and waits until the clipboard holds expected.
    bool CopyGives(const std::wstring& expected) {
        app.PostClick(kIdCmdCopy);
        std::wstring text;
        return WaitUntil([&] { return ReadClipboardText(text) && text == expected; }, 5s);
    }

    ExeDriver app;
};

TEST_F(CopyTest, BeforeAnyPickTheEmptyTextIsCopied) {
    EXPECT_TRUE(CopyGives(L""));
    std::wstring ansi = L"?";
    EXPECT_TRUE(ReadClipboardText(ansi, CF_TEXT));
    EXPECT_EQ(ansi, L"");
    EXPECT_TRUE(app.Running());
}

TEST_F(CopyTest, CopiesTheDecimalValueExactlyAndRepeatably) {
    ASSERT_TRUE(app.Pick(255, 128, 0));
    ASSERT_TRUE(CopyGives(L"33023")) << "the decimal value, not FF8000";
    std::wstring ansi;
    ASSERT_TRUE(ReadClipboardText(ansi, CF_TEXT));
    EXPECT_EQ(ansi, L"33023") << "the system offers plain text too";

    ASSERT_TRUE(PutClipboardText(L"overwritten"));
    EXPECT_TRUE(CopyGives(L"33023")) << "a second copy without a new pick";
    EXPECT_EQ(app.Text(kIdTxtHexa), L"FF8000");
}

TEST_F(CopyTest, AClipboardHeldForAMomentIsWaitedFor) {
    ASSERT_TRUE(app.Pick(0, 0, 255));
    ASSERT_TRUE(WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2s));
    app.PostClick(kIdCmdCopy);
    std::this_thread::sleep_for(30ms);
    CloseClipboard();
    std::wstring text;
    EXPECT_TRUE(WaitUntil([&] { return ReadClipboardText(text) && text == L"16711680"; }, 5s)) << text;
    EXPECT_TRUE(app.Running());
    EXPECT_EQ(app.MessageBox(), nullptr);
}

TEST_F(CopyTest, AHeldClipboardIsReportedAndEndsTheProgram) {
    ASSERT_TRUE(app.Pick(255, 0, 0));
    ASSERT_TRUE(WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 2s));
    app.PostClick(kIdCmdCopy);
    HWND report = nullptr;
    const bool shown = WaitUntil([&] { return (report = app.MessageBox()) != nullptr; }, 10s);
    CloseClipboard();
    ASSERT_TRUE(shown) << "no error report appeared";

    EXPECT_EQ(TextOf(report), L"Quillantern");
    EXPECT_FALSE(IsWindowEnabled(app.main())) << "the report is modal to the window";
    const std::wstring message = TextOf(GetDlgItem(report, 0xFFFF));  // the message box's text
    std::wcout << L"error report: " << message << std::endl;
    EXPECT_EQ(message.rfind(L"Error ", 0), 0u) << "starts with the number";
    EXPECT_GT(_wtoi(message.c_str() + 6), 0) << message;
    EXPECT_NE(message.find(L"clipboard"), std::wstring::npos) << "says what failed";

    PostMessageW(report, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(report, IDOK)));
    const DWORD exit_code = app.WaitForExit();
    EXPECT_NE(exit_code, STILL_ACTIVE) << "the program did not end";
    EXPECT_NE(exit_code, 0u);
}

}  // namespace
}  // namespace quill::test
