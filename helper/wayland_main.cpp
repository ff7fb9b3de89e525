// quillantern-clipboard-wayland: keeps the value quillantern copied on
// Wayland after its window has closed, where the compositor offers data
// control (helper/keep.hpp).
#include "helper/keep.hpp"
#include "wayland/clipboard_keeper.hpp"

int main(int argc, char**) {
    return quill::helper::Keep<quill::wayland::ClipboardKeeper>(argc, quill::keeper::Kind::Wayland);
}
