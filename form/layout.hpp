// The main window's geometry, kept as data in twips (1/1440 inch, 15 twips
// per pixel at 96 DPI) and converted to pixels for a given DPI. Toolkit-free.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quill {

constexpr int kClientWidthTwips = 4800;
constexpr int kClientHeightTwips = 2760;

// Child control ids. None is 1 (IDOK) or 2 (IDCANCEL): the dialog manager
// turns Enter and Escape into those, and they must not press a button.
enum ControlId : int {
    kIdCommand1 = 101,
    kIdTxtColor = 102,
    kIdCmdCopy = 103,
    kIdLabel1 = 104,
    kIdTxtRed = 105,
    kIdLabel2 = 106,
    kIdTxtGreen = 107,
    kIdLabel3 = 108,
    kIdTxtBlue = 109,
    kIdLabel4 = 110,
    kIdTxtHexa = 111,
    kIdLabel5 = 112,
    kIdSh = 113,
    kIdLine1 = 114,
    kIdLine2 = 115,
};

enum class ControlKind { Button, TextBox, Label, Swatch, Line };

struct ControlPlacement {
    ControlId id;
    ControlKind kind;
    int left, top, width, height;  // twips; a line has height 0 (a hairline)
    const wchar_t* text;           // initial text; nullptr for none
};

// Every child window, in creation order. Creation order is both the z-order
// (earlier is on top) and the keyboard order: the focusable controls come in
// tab order, and the shapes last. Each label comes right before its text box
// (labels take no focus, so Tab is unchanged), because screen readers name a
// box after the label before it; the hex row's box comes before its label,
// as it lies above the label where the two overlap.
extern const std::array<ControlPlacement, 15> kControls;

// Where control id stands in kControls (front-ends keep their controls in
// the same order), and its placement.
std::size_t ControlIndex(ControlId id);
inline const ControlPlacement& Placement(ControlId id) { return kControls[ControlIndex(id)]; }

// Each text box and the label that names it, for sighted users and screen
// readers alike.
struct LabelledBox {
    ControlId box, label;
};
constexpr std::array<LabelledBox, 5> kLabelledBoxes = {{
    {kIdTxtColor, kIdLabel1},
    {kIdTxtRed, kIdLabel2},
    {kIdTxtGreen, kIdLabel3},
    {kIdTxtBlue, kIdLabel4},
    {kIdTxtHexa, kIdLabel5},
}};

struct PixelRect {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// twips * dpi / 1440, rounded half away from zero (as MulDiv does).
int TwipsToPixels(int twips, int dpi);

// A control's pixel rectangle at dpi. Edges are converted, not sizes, so
// that neighbours stay aligned wherever rounding occurs. A hairline is one
// pixel thick per 96 DPI.
PixelRect ToPixels(const ControlPlacement& placement, int dpi);

// The client area's size at dpi.
PixelRect ClientPixels(int dpi);

struct PixelSize {
    int width = 0, height = 0;
};

// Whether a control whose text needs `needed` shows it whole in r.
inline bool Fits(PixelSize needed, const PixelRect& r) {
    return needed.width <= r.width() && needed.height <= r.height();
}

// The DPI to lay the form out at so that every text fits: needed[i] is
// what kControls[i]'s text needs in the front-end's font, as measured there
// (0 x 0 for a control without one). The smallest layout DPI from dpi up
// at which every control's rectangle holds its need; 4 * dpi, the largest
// layout, where none below it does.
int LayoutDpiForTexts(const std::array<PixelSize, kControls.size()>& needed, int dpi);

}  // namespace quill
