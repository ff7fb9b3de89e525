#include "wayland/server_decorations.hpp"

#include <cstring>

#include "wayland/loaded_client.hpp"

namespace quill::wayland {

namespace {

void OnGlobal(void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
    if (std::strcmp(interface, "zxdg_decoration_manager_v1") == 0) *static_cast<bool*>(data) = true;
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
// (Not const: libwayland takes the listener as a table of functions.)
wl_registry_listener listener = {OnGlobal, OnGlobalRemove};

}  // namespace

bool OffersServerDecorations(void* display) {
    const LoadedClient& wl = Client();
    if (!display || !wl.complete()) return false;
    auto* connection = static_cast<wl_display*>(display);
    wl_event_queue* queue = wl.create_queue(connection);
    if (!queue) return false;
    // A wrapper of the display bound to our queue: the registry it makes
    // gets its events there, never on the caller's queue.
    auto* wrapper = static_cast<wl_proxy*>(wl.create_wrapper(connection));
    bool offered = false;
    if (wrapper) {
        wl.set_queue(wrapper, queue);
        // wl_display.get_registry, as the protocol header sends it.
        wl_proxy* registry = wl.marshal_flags(wrapper, WL_DISPLAY_GET_REGISTRY, wl.registry_interface,
                                              wl.get_version(wrapper), 0, nullptr);
        wl.wrapper_destroy(wrapper);
        if (registry) {
            wl.add_listener(registry, reinterpret_cast<void (**)(void)>(&listener), &offered);
            wl.roundtrip_queue(connection, queue);
            wl.destroy(registry);
        }
    }
    wl.queue_destroy(queue);
    return offered;
}

}  // namespace quill::wayland
