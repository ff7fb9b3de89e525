#include "wayland/toplevel_size.hpp"

#include <cstdint>

#include "wayland/loaded_client.hpp"
#include "xdg-shell-client-protocol.h"

namespace quill::wayland {

void FixToplevelSize(void* xdg_toplevel, int width, int height) {
    const LoadedClient& wl = Client();
    if (!xdg_toplevel || width <= 0 || height <= 0 || !wl.marshal_flags || !wl.get_version) return;
    auto* toplevel = static_cast<wl_proxy*>(xdg_toplevel);
    const std::uint32_t version = wl.get_version(toplevel);
    // The requests as xdg-shell's generated header sends them.
    wl.marshal_flags(toplevel, XDG_TOPLEVEL_SET_MIN_SIZE, nullptr, version, 0, width, height);
    wl.marshal_flags(toplevel, XDG_TOPLEVEL_SET_MAX_SIZE, nullptr, version, 0, width, height);
}

void LeaveStates(void* xdg_toplevel, bool maximized, bool fullscreen) {
    const LoadedClient& wl = Client();
    if (!xdg_toplevel || !wl.marshal_flags || !wl.get_version) return;
    auto* toplevel = static_cast<wl_proxy*>(xdg_toplevel);
    const std::uint32_t version = wl.get_version(toplevel);
    if (maximized) wl.marshal_flags(toplevel, XDG_TOPLEVEL_UNSET_MAXIMIZED, nullptr, version, 0);
    if (fullscreen) wl.marshal_flags(toplevel, XDG_TOPLEVEL_UNSET_FULLSCREEN, nullptr, version, 0);
}

}  // namespace quill::wayland
