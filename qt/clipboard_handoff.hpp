// What the program owns on the X11 clipboard when it ends.
#pragma once

namespace quill::qt {

// Call after the event loop has ended, while the QApplication still exists.
// On X11 it lets go of the PRIMARY selection (no clipboard manager keeps
// that, and waiting for one only delays the end) and, when `keep_copy` and
// the program still owns CLIPBOARD, hands the copied text to a detached
// keeper (qt/clipboard_keeper.hpp). Returns at once elsewhere; never throws.
void HandOverClipboardAtExit(bool keep_copy) noexcept;

}  // namespace quill::qt
