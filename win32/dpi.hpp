// DPI queries that also work on Windows older than 10 1607, and the dialog
// font at a given DPI.
#pragma once

#include "win32/gdi_object.hpp"
#include "win32/windows_api.hpp"

namespace quill::win32 {

// DPI of window (per monitor where the system has it), or the system DPI.
UINT DpiForWindow(HWND window);
// AdjustWindowRectEx for a given DPI where the system supports it.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD ex_style, UINT dpi);
// The classic dialog font, "MS Sans Serif" 8 pt, at dpi. The layout's label
// and button widths are made for its metrics. DEFAULT_CHARSET, as Windows' own dialogs ask: the system then gives the
// face's edition for its code page (Hebrew, Arabic, Turkish, ...), whose
// Latin letters have the same widths. Where that edition is missing (a Wine
// prefix without it substitutes a wider face), the layout grows to fit.
UniqueFont CreateDialogFont(UINT dpi);

}  // namespace quill::win32
