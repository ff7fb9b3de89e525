// What a screen reader hears: each control's accessible name, role, state
// and value, asked through oleacc from another process, as a screen reader
// asks.
#include <gtest/gtest.h>

#include "exe_driver.hpp"
#include "form/layout.hpp"
// After windows.h.
#include <oleacc.h>

namespace quill::test {
namespace {

struct Heard {
    std::wstring name, value;
    long role = 0, state = 0;
};

std::wstring Take(BSTR text) {
    std::wstring out = text ? text : L"";
    SysFreeString(text);
    return out;
}

Heard Ask(HWND control) {
    Heard heard;
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible)))) {
        heard.name = L"<no accessible object>";
        return heard;
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (SUCCEEDED(accessible->get_accName(self, &text))) heard.name = Take(text);
    text = nullptr;
    if (SUCCEEDED(accessible->get_accValue(self, &text))) heard.value = Take(text);
    VARIANT answer{};
    if (SUCCEEDED(accessible->get_accRole(self, &answer)) && answer.vt == VT_I4) heard.role = answer.lVal;
    VariantClear(&answer);
    if (SUCCEEDED(accessible->get_accState(self, &answer)) && answer.vt == VT_I4) heard.state = answer.lVal;
    VariantClear(&answer);
    accessible->Release();
    return heard;
}

TEST(Accessibility, EveryBoxIsNamedByItsOwnLabelAndButtonsByTheirCaptions) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        ExeDriver app;
        ASSERT_NE(app.main(), nullptr);
        ASSERT_TRUE(app.Pick(255, 128, 0));
        const struct {
            int id;
            const wchar_t* name;
            const wchar_t* value;  // nullptr: a button, which has no value
        } expected[] = {
            {kIdTxtColor, L"Zecimal:", L"33023"},
            {kIdTxtRed, L"Red:", L"255"},
            {kIdTxtGreen, L"Green:", L"128"},
            {kIdTxtBlue, L"Blue:", L"0"},
            {kIdTxtHexa, L"Hexa (HTML):", L"FF8000"},
            {kIdCommand1, L"Selecteaza culoarea..", nullptr},
            {kIdCmdCopy, L"Copiaza in clipboard", nullptr},
        };
        for (const auto& e : expected) {
            SCOPED_TRACE(e.id);
            const Heard heard = Ask(app.Control(e.id));
            EXPECT_EQ(heard.name, e.name);
            if (e.value) {
                EXPECT_EQ(heard.role, ROLE_SYSTEM_TEXT);
                EXPECT_TRUE(heard.state & STATE_SYSTEM_READONLY);
                EXPECT_EQ(heard.value, e.value);
            }
            // (A button's role is the system proxy's: Wine's oleacc has no
            // button proxy and answers ROLE_SYSTEM_CLIENT.)
        }
        // Being asked changes nothing a sighted user sees or does.
        EXPECT_EQ(app.Text(kIdTxtHexa), L"FF8000");
        PostMessageW(app.main(), WM_CLOSE, 0, 0);
        EXPECT_EQ(app.WaitForExit(), 0u);
    }
    CoUninitialize();
}

}  // namespace
}  // namespace quill::test
