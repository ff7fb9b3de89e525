// What the program owns on the clipboard when it ends.
#pragma once

#include <string>

namespace quill::qt {

// Call after the event loop has ended, while the QApplication still exists.
// When `keep_copy` and the program still owns the clipboard, hands the
// copied text to the clipboard keeper (keeper/handoff.hpp) for
// the platform Qt runs on: on X11 (on `x11_display`, the -display argument;
// empty: $DISPLAY) it also lets go of the PRIMARY selection first (no
// clipboard manager keeps that, and waiting for one only delays the end); on
// Wayland (on $WAYLAND_DISPLAY) the keeper serves it where the compositor
// offers data control. Returns at once elsewhere; never throws.
void HandOverClipboardAtExit(bool keep_copy, const std::string& x11_display) noexcept;

}  // namespace quill::qt
