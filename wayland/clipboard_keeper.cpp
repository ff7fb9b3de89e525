#include "wayland/clipboard_keeper.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace quill::wayland {

namespace {

// What the keeper offers: the MIME types and the X11 target names that
// Xwayland and wl-clipboard's users ask for.
constexpr const char* kUtf8Types[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "TEXT"};
constexpr const char* kLatin1Type = "STRING";
// How long one paste may take to read the text before the keeper gives up on it.
constexpr std::chrono::milliseconds kSendWithin{2000};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
    static_cast<ClipboardKeeper*>(data)->Global(registry, name, interface, version);
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
constexpr wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnSend(void* data, zwlr_data_control_source_v1*, const char* mime_type, std::int32_t fd) {
    static_cast<ClipboardKeeper*>(data)->Send(mime_type, fd);
}
void OnCancelled(void* data, zwlr_data_control_source_v1*) { static_cast<ClipboardKeeper*>(data)->Cancelled(); }
constexpr zwlr_data_control_source_v1_listener kSourceListener = {OnSend, OnCancelled};

// The device's offers are other clients' selections: not read, destroyed.
void OnDataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}
void OnSelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    if (offer) zwlr_data_control_offer_v1_destroy(offer);
}
void OnFinished(void* data, zwlr_data_control_device_v1*) { static_cast<ClipboardKeeper*>(data)->Cancelled(); }
void OnPrimarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    if (offer) zwlr_data_control_offer_v1_destroy(offer);
}
constexpr zwlr_data_control_device_v1_listener kDeviceListener = {OnDataOffer, OnSelection, OnFinished,
                                                                  OnPrimarySelection};

void OnDone(void* data, wl_callback* callback, std::uint32_t) {
    wl_callback_destroy(callback);
    static_cast<ClipboardKeeper*>(data)->Synced();
}
constexpr wl_callback_listener kSyncListener = {OnDone};

// Writes all of `data` to `fd`, waiting at most kSendWithin for a reader
// that does not read.
void WriteAll(int fd, std::string_view data) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const auto deadline = keeper::Deadline::After(kSendWithin);
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return;  // the reader went away
        if (deadline.Passed()) return;
        pollfd poll_fd{fd, POLLOUT, 0};
        if (::poll(&poll_fd, 1, deadline.PollTimeout()) < 0 && errno != EINTR) return;
    }
}

}  // namespace

ClipboardKeeper::~ClipboardKeeper() {
    if (!display_) return;
    if (source_) zwlr_data_control_source_v1_destroy(source_);
    if (device_) zwlr_data_control_device_v1_destroy(device_);
    if (manager_) zwlr_data_control_manager_v1_destroy(manager_);
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void ClipboardKeeper::Global(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    if (!manager_ && std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        manager_ = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    } else if (!seat_ && std::strcmp(interface, wl_seat_interface.name) == 0) {
        seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
}

template <typename Until>
bool ClipboardKeeper::DispatchUntil(Until until, keeper::Deadline deadline) {
    while (!until()) {
        if (wl_display_dispatch_pending(display_) < 0) return false;
        if (until()) break;
        while (wl_display_prepare_read(display_) != 0) {
            if (wl_display_dispatch_pending(display_) < 0) return false;
        }
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            return false;
        }
        if (deadline.Passed()) {
            wl_display_cancel_read(display_);
            return false;
        }
        pollfd poll_fd{wl_display_get_fd(display_), POLLIN, 0};
        const int ready = ::poll(&poll_fd, 1, deadline.PollTimeout());
        if (ready <= 0) {
            wl_display_cancel_read(display_);
            if (ready < 0 && errno != EINTR) return false;
            continue;
        }
        if (wl_display_read_events(display_) < 0) return false;
    }
    return wl_display_get_error(display_) == 0;
}

bool ClipboardKeeper::Roundtrip(keeper::Deadline deadline) {
    synced_ = false;
    wl_callback_add_listener(wl_display_sync(display_), &kSyncListener, this);
    return DispatchUntil([this] { return synced_; }, deadline);
}

keeper::Report ClipboardKeeper::Take(keeper::Deadline deadline) {
    using keeper::Report;
    display_ = wl_display_connect(keeping_.display);
    if (!display_) return Report::Failed;
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    if (!Roundtrip(deadline)) return Report::Failed;
    if (!manager_ || !seat_) return Report::NotOffered;

    device_ = zwlr_data_control_manager_v1_get_data_device(manager_, seat_);
    zwlr_data_control_device_v1_add_listener(device_, &kDeviceListener, this);
    source_ = zwlr_data_control_manager_v1_create_data_source(manager_);
    zwlr_data_control_source_v1_add_listener(source_, &kSourceListener, this);
    for (const char* type : kUtf8Types) zwlr_data_control_source_v1_offer(source_, type);
    if (keeping_.latin1) zwlr_data_control_source_v1_offer(source_, kLatin1Type);
    zwlr_data_control_device_v1_set_selection(device_, source_);
    if (!Roundtrip(deadline)) return Report::Failed;
    return done_ ? Report::TakenOver : Report::Kept;
}

std::optional<std::string_view> ClipboardKeeper::As(std::string_view mime_type) const {
    if (mime_type == kLatin1Type) return keeping_.latin1;
    if (mime_type == "TEXT" && keeping_.latin1) return keeping_.latin1;  // TEXT in the plainest encoding that holds it
    for (const char* type : kUtf8Types) {
        if (mime_type == type) return keeping_.text;
    }
    return std::nullopt;
}

void ClipboardKeeper::Send(const char* mime_type, int fd) {
    if (const std::optional<std::string_view> data = As(mime_type)) WriteAll(fd, *data);
    ::close(fd);
}

void ClipboardKeeper::Serve() {
    DispatchUntil([this] { return done_; }, keeper::Deadline::Never());
}

}  // namespace quill::wayland
