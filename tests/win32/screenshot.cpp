// Saves a picture of the window after picking orange, for the README:
//   screenshot.exe OUTPUT.bmp
#include <cstdio>
#include <vector>

#include "exe_driver.hpp"

namespace {

bool SaveScreenArea(const RECT& area, const wchar_t* path) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
    GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    const DWORD image_bytes = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + image_bytes;
    bool written = false;
    if (FILE* out = _wfopen(path, L"wb")) {
        written = fwrite(&file, sizeof file, 1, out) == 1 &&
                  fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 && fwrite(bits, image_bytes, 1, out) == 1;
        written = fclose(out) == 0 && written;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied && written;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: screenshot.exe OUTPUT.bmp\n", stderr);
        return 2;
    }
    quill::test::ExeDriver app;
    if (!app.main() || !app.Pick(255, 128, 0)) {
        std::fputs("screenshot: the window did not show a pick\n", stderr);
        return 1;
    }
    Sleep(300);  // let every control finish painting
    RECT frame{};
    GetWindowRect(app.main(), &frame);
    InflateRect(&frame, 12, 12);
    if (!SaveScreenArea(frame, argv[1])) {
        std::fputs("screenshot: could not save the picture\n", stderr);
        return 1;
    }
    PostMessageW(app.main(), WM_CLOSE, 0, 0);
    return app.WaitForExit() == 0 ? 0 : 1;
}
