#include "wayland/loaded_client.hpp"

#include <dlfcn.h>

namespace quill::wayland {

namespace {

template <typename Function>
void Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
}

}  // namespace

bool LoadedClient::complete() const {
    return marshal_flags && get_version && add_listener && destroy && create_wrapper && wrapper_destroy && set_queue &&
           create_queue && queue_destroy && roundtrip_queue && registry_interface;
}

const LoadedClient& Client() {
    static const LoadedClient found = [] {
        LoadedClient c;
        // The plugin's own copy (RTLD_NOLOAD: never a second one); Qt loads
        // plugins locally, so its libraries are not in the global scope.
        void* library = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_NOLOAD);
        if (!library) return c;
        Find(library, "wl_proxy_marshal_flags", c.marshal_flags);
        Find(library, "wl_proxy_get_version", c.get_version);
        Find(library, "wl_proxy_add_listener", c.add_listener);
        Find(library, "wl_proxy_destroy", c.destroy);
        Find(library, "wl_proxy_create_wrapper", c.create_wrapper);
        Find(library, "wl_proxy_wrapper_destroy", c.wrapper_destroy);
        Find(library, "wl_proxy_set_queue", c.set_queue);
        Find(library, "wl_display_create_queue", c.create_queue);
        Find(library, "wl_event_queue_destroy", c.queue_destroy);
        Find(library, "wl_display_roundtrip_queue", c.roundtrip_queue);
        c.registry_interface = static_cast<const wl_interface*>(dlsym(library, "wl_registry_interface"));
        return c;  // the handle stays open as long as the plugin does
    }();
    return found;
}

}  // namespace quill::wayland
