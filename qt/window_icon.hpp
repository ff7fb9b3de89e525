// The window's icon, for the title bar and the task switcher.
#pragma once

#include <QIcon>

namespace quill::qt {

// The icon at 16, 32, 48 and 64 pixels, the same pixels as the installed
// PNG icons of those sizes. Built from drawings inside the program: no image
// file is read and no image-format plugin loaded before the first frame.
QIcon WindowIcon();

}  // namespace quill::qt
