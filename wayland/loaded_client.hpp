// libwayland-client as Qt's Wayland plugin has loaded it. The program does
// not link the library, so that an X11 session loads none of it; where the
// window is on Wayland, the plugin's copy is there to call.
#pragma once

#include <wayland-client.h>

#include <cstdint>

namespace quill::wayland {

struct LoadedClient {
    using MarshalFlags = wl_proxy* (*)(wl_proxy*, std::uint32_t, const wl_interface*, std::uint32_t, std::uint32_t,
                                       ...);
    MarshalFlags marshal_flags = nullptr;
    std::uint32_t (*get_version)(wl_proxy*) = nullptr;
    int (*add_listener)(wl_proxy*, void (**)(void), void*) = nullptr;
    void (*destroy)(wl_proxy*) = nullptr;
    void* (*create_wrapper)(void*) = nullptr;
    void (*wrapper_destroy)(void*) = nullptr;
    void (*set_queue)(wl_proxy*, wl_event_queue*) = nullptr;
    wl_event_queue* (*create_queue)(wl_display*) = nullptr;
    void (*queue_destroy)(wl_event_queue*) = nullptr;
    int (*roundtrip_queue)(wl_display*, wl_event_queue*) = nullptr;
    const wl_interface* registry_interface = nullptr;

    // Every function found: the library is loaded.
    bool complete() const;
};

// The loaded library's functions; all null where nothing loaded it.
const LoadedClient& Client();

}  // namespace quill::wayland
