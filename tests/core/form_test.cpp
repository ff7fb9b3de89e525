#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/failure.hpp"
#include "form/failure_report.hpp"
#include "form/form.hpp"

namespace quill {
namespace {

// Fakes that record what the form did and fail on request.
struct FakeTextBox : TextBox {
    std::wstring text;
    bool fail_get = false, fail_set = false;
    std::wstring Text() const override {
        if (fail_get) throw Failure(1400, "reading failed");
        return text;
    }
    void SetText(const std::wstring& t) override {
        if (fail_set) throw Failure(1400, "writing failed");
        text = t;
    }
};

struct FakeSwatch : Swatch {
    std::optional<std::int32_t> fill;
    bool fail = false;
    void SetFillColor(std::int32_t color) override {
        if (fail) throw Failure(87, "fill failed");
        fill = color;
    }
};

struct FakeDialog : ColorDialog {
    std::int32_t color = 0;
    std::optional<std::int32_t> pick;  // what the user confirms; nullopt = Cancel
    bool fail_show = false;
    int fail_read_number = 0;  // 1-based read that fails; 0 = none
    mutable int reads = 0;
    int shows = 0;
    void ShowColor() override {
        ++shows;
        if (fail_show) throw Failure(0xFFFF, "dialog failed");
        if (pick) color = *pick;
    }
    std::int32_t Color() const override {
        if (++reads == fail_read_number) throw Failure(5, "read failed");
        return color;
    }
};

struct FakeClipboard : Clipboard {
    std::vector<std::wstring> texts;
    bool fail = false;
    void SetText(const std::wstring& t) override {
        if (fail) throw Failure(5, "Opening the clipboard: Access is denied.");
        texts.push_back(t);
    }
};

class FormTest : public ::testing::Test {
protected:
    FakeSwatch sh;
    FakeDialog cmDlg;
    FakeTextBox txtColor, txtRed, txtGreen, txtBlue, txtHexa;
    FakeClipboard clipboard;
    frmQuillantern form{{sh, cmDlg, txtColor, txtRed, txtGreen, txtBlue, txtHexa, clipboard}};

    void Pick(std::int32_t color) {
        cmDlg.pick = color;
        form.Command1_Click();
    }
    void ExpectShown(const std::wstring& dec, const std::wstring& r, const std::wstring& g, const std::wstring& b,
                     const std::wstring& hex) {
        EXPECT_EQ(txtColor.text, dec);
        EXPECT_EQ(txtRed.text, r);
        EXPECT_EQ(txtGreen.text, g);
        EXPECT_EQ(txtBlue.text, b);
        EXPECT_EQ(txtHexa.text, hex);
    }
    // What a previous run left on the window.
    void ShowPrevious() {
        Pick(33023);
        ExpectShown(L"33023", L"255", L"128", L"0", L"FF8000");
    }
};

TEST_F(FormTest, PickShowsTheColourInEveryReadOut) {
    Pick(33023);
    EXPECT_EQ(sh.fill, 33023);
    ExpectShown(L"33023", L"255", L"128", L"0", L"FF8000");

    Pick(16711680);  // pure blue: decimal in packed order, code in HTML order
    EXPECT_EQ(sh.fill, 16711680);
    ExpectShown(L"16711680", L"0", L"0", L"255", L"0000FF");

    Pick(16777215);
    ExpectShown(L"16777215", L"255", L"255", L"255", L"FFFFFF");
    Pick(0);  // the second pick leaves nothing of the first
    EXPECT_EQ(sh.fill, 0);
    ExpectShown(L"0", L"0", L"0", L"0", L"000000");
}

TEST_F(FormTest, CancelRewritesTheBoxesWithTheComponentsColour) {
    cmDlg.pick.reset();
    form.Command1_Click();  // first use, cancelled: the component's initial colour
    EXPECT_EQ(sh.fill, 0);
    ExpectShown(L"0", L"0", L"0", L"0", L"000000");

    ShowPrevious();
    txtRed.text = L"stale";  // rewritten, not left alone
    cmDlg.pick.reset();
    form.Command1_Click();
    ExpectShown(L"33023", L"255", L"128", L"0", L"FF8000");
    EXPECT_EQ(cmDlg.shows, 3);
}

TEST_F(FormTest, FailedDialogStillShowsWhatTheComponentReports) {
    ShowPrevious();
    cmDlg.fail_show = true;
    cmDlg.pick = 255;  // never confirmed
    form.Command1_Click();
    EXPECT_EQ(sh.fill, 33023);
    ExpectShown(L"33023", L"255", L"128", L"0", L"FF8000");
}

TEST_F(FormTest, FailedSwatchStepKeepsOldFillAndTheRestRuns) {
    ShowPrevious();
    sh.fail = true;
    Pick(255);
    EXPECT_EQ(sh.fill, 33023);
    ExpectShown(L"255", L"255", L"0", L"0", L"FF0000");

    sh.fail = false;
    cmDlg.reads = 0;
    cmDlg.fail_read_number = 1;  // the swatch's read of the colour fails
    Pick(16711680);
    EXPECT_EQ(sh.fill, 33023);
    ExpectShown(L"16711680", L"0", L"0", L"255", L"0000FF");
}

TEST_F(FormTest, FailedDecimalStepParsesTheOldText) {
    ShowPrevious();
    cmDlg.reads = 0;
    cmDlg.fail_read_number = 2;  // the decimal box's read of the colour fails
    Pick(16777215);
    EXPECT_EQ(sh.fill, 16777215);
    // The channels follow the text the box still shows, not the dialog.
    ExpectShown(L"33023", L"255", L"128", L"0", L"FF8000");

    cmDlg.fail_read_number = 0;
    txtColor.fail_set = true;
    Pick(0);
    ExpectShown(L"33023", L"255", L"128", L"0", L"FF8000");
}

TEST_F(FormTest, FailedDecimalStepOnFirstRunGivesZeroChannels) {
    txtRed.text = L"x";  // whatever was there is overwritten
    txtColor.fail_set = true;
    Pick(33023);
    EXPECT_EQ(sh.fill, 33023);
    // The empty text does not parse, so R, G and B stay 0.
    ExpectShown(L"", L"0", L"0", L"0", L"000000");
}

TEST_F(FormTest, FailedParseOrReadGivesZeroChannels) {
    ShowPrevious();
    txtColor.fail_get = true;
    Pick(16711680);
    ExpectShown(L"16711680", L"0", L"0", L"0", L"000000");
}

TEST_F(FormTest, EachFailedChannelOrHexStepKeepsOnlyItsOwnBox) {
    FakeTextBox* boxes[] = {&txtRed, &txtGreen, &txtBlue, &txtHexa};
    const wchar_t* after[] = {L"0", L"0", L"255", L"0000FF"};
    const wchar_t* before[] = {L"255", L"128", L"0", L"FF8000"};
    for (int failing = 0; failing < 4; ++failing) {
        SCOPED_TRACE(failing);
        for (auto* box : boxes) box->fail_set = false;
        ShowPrevious();
        boxes[failing]->fail_set = true;
        Pick(16711680);
        EXPECT_EQ(txtColor.text, L"16711680");
        for (int i = 0; i < 4; ++i) EXPECT_EQ(boxes[i]->text, i == failing ? before[i] : after[i]);
    }
}

TEST_F(FormTest, EverythingFailingIsStillSilent) {
    cmDlg.fail_show = true;
    cmDlg.fail_read_number = 1;
    sh.fail = true;
    for (auto* box : {&txtColor, &txtRed, &txtGreen, &txtBlue, &txtHexa}) box->fail_set = box->fail_get = true;
    EXPECT_NO_THROW(form.Command1_Click());
}

TEST_F(FormTest, CopyPutsExactlyTheDecimalTextOnTheClipboard) {
    form.cmdCopy_Click();  // before any pick: the empty text
    Pick(33023);
    form.cmdCopy_Click();
    form.cmdCopy_Click();
    ASSERT_EQ(clipboard.texts.size(), 3u);
    EXPECT_EQ(clipboard.texts[0], L"");
    EXPECT_EQ(clipboard.texts[1], L"33023");  // not FF8000
    EXPECT_EQ(clipboard.texts[2], L"33023");
}

TEST_F(FormTest, CopyFailuresLeaveTheCommandWithNumberAndDescription) {
    Pick(255);
    clipboard.fail = true;
    try {
        form.cmdCopy_Click();
        FAIL() << "the failure was swallowed";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 5u);
        EXPECT_NE(f.description().find("Access is denied"), std::string::npos);
    }
    clipboard.fail = false;
    txtColor.fail_get = true;
    EXPECT_THROW(form.cmdCopy_Click(), Failure);
    EXPECT_TRUE(clipboard.texts.empty());
}

// What leaves a command becomes the report's number and description, on
// every front-end.
TEST(FailureReport, AnythingThatLeavesACommandIsReportedWithANumber) {
    const auto reported = [](auto&& raise) {
        try {
            raise();
        } catch (...) {
            const Failure failure = CurrentFailure();
            return std::to_string(failure.number()) + " " + failure.description();
        }
        return std::string("nothing raised");
    };
    EXPECT_EQ(reported([] { throw Failure(1418, "The clipboard did not take the text"); }),
              "1418 The clipboard did not take the text");
    EXPECT_EQ(reported([] { throw std::bad_alloc(); }), "8 Not enough memory");
    EXPECT_EQ(reported([] { throw std::runtime_error("broken"); }), "31 broken");
    EXPECT_EQ(reported([] { throw 42; }), "31 Internal error");
    EXPECT_EQ(FailureReportText(5, "Opening the clipboard: Access denied."),
              "Error 5: Opening the clipboard: Access denied.\n\nQuillantern cannot continue and will now close.");
}

}  // namespace
}  // namespace quill
