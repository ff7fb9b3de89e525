#include "form/layout.hpp"

#include <algorithm>
#include <cstdint>

namespace quill {

const std::array<ControlPlacement, 15> kControls = {{
    {kIdCommand1, ControlKind::Button, 2760, 120, 1935, 375, L"Selecteaza culoarea.."},
    {kIdLabel1, ControlKind::Label, 120, 615, 615, 255, L"Zecimal:"},
    {kIdTxtColor, ControlKind::TextBox, 960, 600, 1695, 285, L""},
    {kIdCmdCopy, ControlKind::Button, 2760, 555, 1935, 375, L"Copiaza in clipboard"},
    {kIdLabel2, ControlKind::Label, 120, 1215, 615, 255, L"Red:"},
    {kIdTxtRed, ControlKind::TextBox, 960, 1200, 1695, 285, L""},
    {kIdLabel3, ControlKind::Label, 120, 1575, 615, 255, L"Green:"},
    {kIdTxtGreen, ControlKind::TextBox, 960, 1560, 1695, 285, L""},
    {kIdLabel4, ControlKind::Label, 120, 1935, 615, 255, L"Blue:"},
    {kIdTxtBlue, ControlKind::TextBox, 960, 1920, 1695, 285, L""},
    {kIdTxtHexa, ControlKind::TextBox, 1200, 2400, 1455, 285, L""},
    {kIdLabel5, ControlKind::Label, 120, 2415, 1095, 255, L"Hexa (HTML):"},
    {kIdSh, ControlKind::Swatch, 120, 120, 2535, 375, nullptr},
    {kIdLine1, ControlKind::Line, 120, 1080, 4560, 0, nullptr},
    {kIdLine2, ControlKind::Line, 120, 2280, 4560, 0, nullptr},
}};

std::size_t ControlIndex(ControlId id) {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (kControls[i].id == id) return i;
    }
    return 0;  // unreachable: every id has a placement
}

int TwipsToPixels(int twips, int dpi) {
    const std::int64_t product = static_cast<std::int64_t>(twips) * dpi;
    const std::int64_t half = product >= 0 ? 720 : -720;
    return static_cast<int>((product + half) / 1440);
}

PixelRect ToPixels(const ControlPlacement& placement, int dpi) {
    PixelRect r{};
    r.left = TwipsToPixels(placement.left, dpi);
    r.top = TwipsToPixels(placement.top, dpi);
    r.right = TwipsToPixels(placement.left + placement.width, dpi);
    r.bottom = placement.height == 0 ? r.top + std::max(1, (dpi + 48) / 96)
                                     : TwipsToPixels(placement.top + placement.height, dpi);
    return r;
}

PixelRect ClientPixels(int dpi) {
    return {0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
}

int LayoutDpiForTexts(const std::array<PixelSize, kControls.size()>& needed, int dpi) {
    const auto fits = [&needed](int layout_dpi) {
        for (std::size_t i = 0; i < kControls.size(); ++i) {
            if (!Fits(needed[i], ToPixels(kControls[i], layout_dpi))) return false;
        }
        return true;
    };
    int layout_dpi = dpi;
    while (layout_dpi < 4 * dpi && !fits(layout_dpi)) ++layout_dpi;
    return layout_dpi;
}

}  // namespace quill
