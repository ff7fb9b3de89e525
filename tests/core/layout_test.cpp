#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <vector>

#include "form/layout.hpp"

namespace quill {
namespace {

TEST(Layout, TwipsBecomePixelsAtTheScreensDpi) {
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(4800, 96), 320);
    EXPECT_EQ(TwipsToPixels(2760, 96), 184);
    EXPECT_EQ(TwipsToPixels(4800, 144), 480);
    EXPECT_EQ(TwipsToPixels(2760, 120), 230);
    EXPECT_EQ(TwipsToPixels(285, 120), 24);    // 23.75 rounds up
    EXPECT_EQ(TwipsToPixels(1935, 120), 161);  // 161.25 rounds down
    EXPECT_EQ(TwipsToPixels(6, 120), 1);       // 0.5 rounds away from zero
    EXPECT_EQ(TwipsToPixels(-6, 120), -1);
    EXPECT_EQ(ClientPixels(96), (PixelRect{0, 0, 320, 184}));
}

TEST(Layout, RectanglesAt96DpiAreTheDesignedOnes) {
    const PixelRect swatch = ToPixels(kControls[12], 96);
    EXPECT_EQ(kControls[12].id, kIdSh);
    EXPECT_EQ(swatch, (PixelRect{8, 8, 177, 33}));
    const PixelRect line = ToPixels(kControls[13], 96);
    EXPECT_EQ(line, (PixelRect{8, 72, 312, 73}));
    EXPECT_EQ(ToPixels(kControls[13], 192).height(), 2);
}

bool Overlap(const PixelRect& a, const PixelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// At every common scale, controls stay inside the client area, keep their
// size within a pixel of the exact value, and only the hex row's label
// reaches under its box.
TEST(Layout, ScalingKeepsEveryControlInsideAndApart) {
    for (int dpi : {96, 120, 144, 168, 192, 240, 288}) {
        SCOPED_TRACE(dpi);
        const PixelRect client = ClientPixels(dpi);
        for (std::size_t i = 0; i < kControls.size(); ++i) {
            const PixelRect r = ToPixels(kControls[i], dpi);
            EXPECT_GE(r.left, 0);
            EXPECT_GE(r.top, 0);
            EXPECT_LE(r.right, client.right);
            EXPECT_LE(r.bottom, client.bottom);
            EXPECT_NEAR(r.width(), kControls[i].width * dpi / 1440.0, 1.0);
            for (std::size_t j = i + 1; j < kControls.size(); ++j) {
                const bool hex_row = kControls[i].id == kIdTxtHexa && kControls[j].id == kIdLabel5;
                EXPECT_EQ(Overlap(r, ToPixels(kControls[j], dpi)), hex_row)
                    << kControls[i].id << " and " << kControls[j].id;
            }
        }
    }
}

// Each case: what some controls' texts need (the rest need nothing), the
// screen's DPI, and the layout DPI the search must give, the smallest at
// which every rectangle holds its need (worked out from the twips table
// with MulDiv's rounding). Width and height count alike, edges are
// rounded, not sizes, and the search stops at four times the DPI.
TEST(Layout, LayoutDpiIsTheSmallestAtWhichEveryTextFits) {
    struct Need {
        ControlId id;
        PixelSize size;
    };
    struct Case {
        const char* what;
        std::vector<Need> needs;
        int dpi, layout_dpi;
    };
    const Case cases[] = {
        {"nothing to fit", {}, 96, 96},
        {"a label's exact width", {{kIdLabel1, {41, 17}}}, 96, 96},
        {"a pixel wider", {{kIdLabel1, {42, 17}}}, 96, 97},
        {"a pixel taller", {{kIdLabel1, {41, 18}}}, 96, 97},
        {"a button's height", {{kIdCmdCopy, {0, 27}}}, 96, 102},
        {"a button's width", {{kIdCommand1, {140, 0}}}, 96, 104},
        {"the most demanding of two", {{kIdLabel1, {42, 0}}, {kIdCmdCopy, {0, 27}}}, 96, 102},
        {"the hex label", {{kIdLabel5, {74, 0}}}, 96, 97},
        {"a label at 144 DPI", {{kIdLabel1, {62, 25}}}, 144, 144},
        {"a pixel wider at 144 DPI", {{kIdLabel1, {63, 0}}}, 144, 146},
        {"a button at 120 DPI", {{kIdCommand1, {200, 0}}}, 120, 149},
        {"never fits: the largest layout", {{kIdLabel2, {10000, 1}}}, 96, 384},
        {"never fits at 120 DPI", {{kIdTxtColor, {1, 10000}}}, 120, 480},
    };
    for (const Case& c : cases) {
        std::array<PixelSize, kControls.size()> needed{};
        for (const Need& need : c.needs) needed[ControlIndex(need.id)] = need.size;
        EXPECT_EQ(LayoutDpiForTexts(needed, c.dpi), c.layout_dpi) << c.what;
    }
}

}  // namespace
}  // namespace quill
