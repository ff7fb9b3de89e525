#include "wayland/toplevel_size.hpp"

#include <wayland-client.h>

#include "xdg-shell-client-protocol.h"

namespace quill::wayland {

void FixToplevelSize(void* xdg_toplevel, int width, int height) {
    if (!xdg_toplevel || width <= 0 || height <= 0) return;
    auto* toplevel = static_cast<struct xdg_toplevel*>(xdg_toplevel);
    xdg_toplevel_set_min_size(toplevel, width, height);
    xdg_toplevel_set_max_size(toplevel, width, height);
}

}  // namespace quill::wayland
