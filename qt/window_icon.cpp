#include "qt/window_icon.hpp"

#include <QImage>
#include <QPixmap>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace quill::qt {

namespace {

#include "qt/icons/window_icon_pixels.inc"

// The standard 16-colour palette the drawings index.
constexpr QRgb kPalette[16] = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

QRgb PixelOf(char code) {
    if (code >= '0' && code <= '9') return kPalette[code - '0'];
    if (code >= 'a' && code <= 'f') return kPalette[code - 'a' + 10];
    return 0;  // '.': transparent
}

// A drawing of size x size pixels, each drawn as factor x factor pixels (as
// the larger PNGs are made): each row is converted once and repeated.
QPixmap Scaled(const char* const* rows, int size, int factor) {
    QImage image(size * factor, size * factor, QImage::Format_ARGB32_Premultiplied);
    const auto row_bytes = static_cast<std::size_t>(image.bytesPerLine());
    for (int y = 0; y < size; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y * factor));
        for (int x = 0; x < size; ++x) std::fill_n(line + x * factor, factor, PixelOf(rows[y][x]));
        for (int copy = 1; copy < factor; ++copy) std::memcpy(image.scanLine(y * factor + copy), line, row_bytes);
    }
    return QPixmap::fromImage(std::move(image));
}

}  // namespace

QIcon WindowIcon() {
    QIcon icon;
    icon.addPixmap(Scaled(kDrawing16, 16, 1));
    icon.addPixmap(Scaled(kDrawing32, 32, 1));
    icon.addPixmap(Scaled(kDrawing16, 16, 3));
    icon.addPixmap(Scaled(kDrawing32, 32, 2));
    return icon;
}

}  // namespace quill::qt
