#include "wayland/toplevel_size.hpp"

#include <dlfcn.h>
#include <wayland-client.h>

#include <cstdint>

#include "xdg-shell-client-protocol.h"

namespace quill::wayland {

namespace {

// libwayland-client is Qt's Wayland plugin's: the program does not link it,
// so that an X11 session loads none of it. Where the window is on Wayland,
// the plugin has loaded it and its functions are there to find.
struct Marshal {
    using Flags = wl_proxy* (*)(wl_proxy*, std::uint32_t, const wl_interface*, std::uint32_t, std::uint32_t, ...);
    using Version = std::uint32_t (*)(wl_proxy*);
    Flags marshal_flags = nullptr;
    Version get_version = nullptr;
};

const Marshal& Libwayland() {
    static const Marshal found = [] {
        Marshal m;
        // The plugin's own copy (RTLD_NOLOAD: never a second one); Qt loads
        // plugins locally, so its libraries are not in the global scope.
        void* library = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_NOLOAD);
        if (!library) return m;
        m.marshal_flags = reinterpret_cast<Marshal::Flags>(dlsym(library, "wl_proxy_marshal_flags"));
        m.get_version = reinterpret_cast<Marshal::Version>(dlsym(library, "wl_proxy_get_version"));
        return m;  // the handle stays open as long as the plugin does
    }();
    return found;
}

}  // namespace

void FixToplevelSize(void* xdg_toplevel, int width, int height) {
    const Marshal& wl = Libwayland();
    if (!xdg_toplevel || width <= 0 || height <= 0 || !wl.marshal_flags || !wl.get_version) return;
    auto* toplevel = static_cast<wl_proxy*>(xdg_toplevel);
    const std::uint32_t version = wl.get_version(toplevel);
    // The requests as xdg-shell's generated header sends them.
    wl.marshal_flags(toplevel, XDG_TOPLEVEL_SET_MIN_SIZE, nullptr, version, 0, width, height);
    wl.marshal_flags(toplevel, XDG_TOPLEVEL_SET_MAX_SIZE, nullptr, version, 0, width, height);
}

}  // namespace quill::wayland
