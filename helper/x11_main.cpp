// quillantern-clipboard-x11: keeps the value quillantern copied on X11 after
// its window has closed (helper/keep.hpp).
#include "helper/keep.hpp"
#include "x11/clipboard_keeper.hpp"

int main(int argc, char**) { return quill::helper::Keep<quill::x11::ClipboardKeeper>(argc, quill::keeper::Kind::X11); }
