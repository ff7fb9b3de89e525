// The Wayland half of the clipboard keeper (keeper/handoff.hpp). Where the
// compositor offers data control (wlroots' zwlr_data_control_manager_v1),
// the keeper sets the selection to the text, with no surface and no input,
// serves it to whoever pastes, and ends as soon as another client (a
// clipboard manager or the compositor's own included) sets a selection.
// Without data control it reports NotOffered and ends: then the compositor
// either keeps the value itself or drops it with the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "keeper/deadline.hpp"
#include "keeper/handoff.hpp"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_source_v1;

namespace quill::wayland {

class ClipboardKeeper {
public:
    // `keeping`'s views stay valid for the keeper's life.
    explicit ClipboardKeeper(const keeper::Keeping& keeping) : keeping_(keeping) {}
    ~ClipboardKeeper();
    ClipboardKeeper(const ClipboardKeeper&) = delete;
    ClipboardKeeper& operator=(const ClipboardKeeper&) = delete;

    // Connects and sets the selection, giving up at `deadline`; the report
    // for the program.
    keeper::Report Take(keeper::Deadline deadline);
    // Serves the text until another client sets a selection or the
    // compositor goes.
    void Serve();

    // For the listeners.
    void Global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version);
    void Send(const char* mime_type, int fd);
    void Cancelled() { done_ = true; }
    void Synced() { synced_ = true; }

private:
    // Dispatches events until `until()` or `deadline`; false on an error or
    // at the deadline.
    template <typename Until>
    bool DispatchUntil(Until until, keeper::Deadline deadline);
    bool Roundtrip(keeper::Deadline deadline);
    std::optional<std::string_view> As(std::string_view mime_type) const;

    keeper::Keeping keeping_;
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    zwlr_data_control_manager_v1* manager_ = nullptr;
    zwlr_data_control_device_v1* device_ = nullptr;
    zwlr_data_control_source_v1* source_ = nullptr;
    bool synced_ = false;
    bool done_ = false;
};

}  // namespace quill::wayland
