#include "form/form.hpp"

#include <cstdint>
#include <string>

#include "base/failure.hpp"
#include "colour/colour.hpp"

namespace quill {

namespace {

// Runs one step of a command in resume-with-the-next-step mode: a failure
// abandons this step only, and silently.
template <typename Step>
void Resumable(Step&& step) noexcept {
    try {
        step();
    } catch (...) {  // NOLINT(bugprone-empty-catch): silence is the contract
    }
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Decimal text lives in the boxes as UTF-16; the parser reads ASCII. A
// character outside ASCII can never be part of a decimal number, so it is
// turned into one that makes the parse fail rather than dropped or mapped.
std::string Narrow(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t ch : text) {
        out += static_cast<std::uint32_t>(ch) < 0x80 ? static_cast<char>(ch) : '?';
    }
    return out;
}

}  // namespace

void frmQuillantern::Command1_Click() noexcept {
    std::int32_t R = 0, G = 0, B = 0;

    Resumable([&] { c_.cmDlg.ShowColor(); });
    Resumable([&] { c_.sh.SetFillColor(c_.cmDlg.Color()); });
    Resumable([&] { c_.txtColor.SetText(Widen(FormatDecimal(c_.cmDlg.Color()))); });
    // The channels come from what the decimal box shows, not from the dialog.
    Resumable([&] { Color_to_RGB(ParseDecimal(Narrow(c_.txtColor.Text())), R, G, B); });
    Resumable([&] { c_.txtRed.SetText(Widen(FormatDecimal(R))); });
    Resumable([&] { c_.txtGreen.SetText(Widen(FormatDecimal(G))); });
    Resumable([&] { c_.txtBlue.SetText(Widen(FormatDecimal(B))); });
    Resumable([&] { c_.txtHexa.SetText(Widen(RGB_to_Hexa(R, G, B))); });
}

void frmQuillantern::cmdCopy_Click() {
    Clipboard& clipboard = c_.clipboard;
    const std::wstring text = c_.txtColor.Text();
    clipboard.SetText(text);
}

}  // namespace quill
