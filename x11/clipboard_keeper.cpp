#include "x11/clipboard_keeper.hpp"

#include <poll.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "x11/xcb_helpers.hpp"

namespace quill::x11 {

namespace {

constexpr std::array<const char*, ClipboardKeeper::kAtomCount> kAtomNames = {
    "CLIPBOARD",  "TARGETS",           "MULTIPLE",     "TIMESTAMP",
    "ATOM_PAIR",  "UTF8_STRING",       "TEXT",         "text/plain;charset=utf-8",
    "text/plain", "CLIPBOARD_MANAGER", "SAVE_TARGETS", "_QUILLANTERN_KEEPER"};

// X server times wrap around after 49.7 days: `a` is before `b` when it is
// less than half the range behind it.
bool Before(xcb_timestamp_t a, xcb_timestamp_t b) { return static_cast<std::int32_t>(a - b) < 0; }

}  // namespace

ClipboardKeeper::~ClipboardKeeper() {
    if (connection_) xcb_disconnect(connection_);
}

bool ClipboardKeeper::Connect() {
    int screen_number = 0;
    connection_ = xcb_connect(keeping_.display, &screen_number);
    if (xcb_connection_has_error(connection_)) return false;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screen_number && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem) return false;

    std::array<xcb_intern_atom_cookie_t, kAtomCount> cookies{};
    for (std::size_t i = 0; i < kAtomCount; ++i) {
        cookies[i] =
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(kAtomNames[i])), kAtomNames[i]);
    }
    for (std::size_t i = 0; i < kAtomCount; ++i) {
        auto reply = Own(xcb_intern_atom_reply(connection_, cookies[i], nullptr));
        if (!reply) return false;
        atoms_[i] = reply->atom;
    }
    // Unmapped and input-only: nothing to see, nothing in a task bar, no
    // input. A selection needs a window to belong to; property changes on it
    // give the server's time.
    window_ = xcb_generate_id(connection_);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection_, 0, window_, screens.data->root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    return xcb_flush(connection_) > 0 && !xcb_connection_has_error(connection_);
}

// The server's time now: a zero-length append to a property of our window
// comes back as a PropertyNotify stamped with it.
std::optional<xcb_timestamp_t> ClipboardKeeper::ServerTime(keeper::Deadline deadline) {
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, atoms_[kProperty], XCB_ATOM_STRING, 8, 0, nullptr);
    if (xcb_flush(connection_) <= 0) return std::nullopt;
    for (;;) {
        const auto event = Own(xcb_poll_for_event(connection_));
        if (!event) {
            if (xcb_connection_has_error(connection_) || deadline.Passed()) return std::nullopt;
            pollfd poll_fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
            if (::poll(&poll_fd, 1, deadline.PollTimeout()) < 0 && errno != EINTR) return std::nullopt;
            continue;
        }
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if (notify->window == window_ && notify->atom == atoms_[kProperty]) return notify->time;
        }
        // Nothing else can have come: the keeper owns no selection yet.
    }
}

keeper::Report ClipboardKeeper::Take(keeper::Deadline deadline) {
    using keeper::Report;
    if (!Connect()) return Report::Failed;
    const std::optional<xcb_timestamp_t> now = ServerTime(deadline);
    if (!now) return Report::Failed;
    // With the server grabbed, no client can take CLIPBOARD between the look
    // and the take; the program's window owns it until the keeper does.
    xcb_grab_server(connection_);
    const bool still = SelectionOwner(connection_, atoms_[kClipboard]) == keeping_.owner;
    if (still) xcb_set_selection_owner(connection_, window_, atoms_[kClipboard], *now);
    xcb_ungrab_server(connection_);
    if (xcb_connection_has_error(connection_)) return Report::Failed;
    if (!still) return Report::TakenOver;
    owned_ = SelectionOwner(connection_, atoms_[kClipboard]) == window_;
    owned_since_ = *now;
    return owned_ ? Report::Kept : Report::Failed;
}

void ClipboardKeeper::Serve() {
    if (!owned_) return;
    // A clipboard manager saves the text when asked, reading it from us
    // (TARGETS, then MULTIPLE or each target), and says so; then it owns
    // the value and the keeper is not needed. Its answer may take any time:
    // until then, and without one, the keeper serves the text itself.
    if (SelectionOwner(connection_, atoms_[kManager]) != XCB_NONE) {
        xcb_delete_property(connection_, window_, atoms_[kProperty]);
        xcb_convert_selection(connection_, window_, atoms_[kManager], atoms_[kSaveTargets], atoms_[kProperty],
                              owned_since_);
    }
    while (!Done() && Handle()) {
    }
}

bool ClipboardKeeper::Done() const { return lost_ || manager_saved_ || xcb_connection_has_error(connection_); }

bool ClipboardKeeper::Handle() {
    if (xcb_flush(connection_) <= 0) return false;
    auto event = Own(xcb_poll_for_event(connection_));
    if (!event) {
        if (xcb_connection_has_error(connection_)) return false;
        pollfd poll_fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
        if (::poll(&poll_fd, 1, keeper::Deadline::Never().PollTimeout()) < 0 && errno != EINTR) return false;
        event = Own(xcb_poll_for_event(connection_));
        if (!event) return !xcb_connection_has_error(connection_);
    }
    HandleEvent(*event);
    return !Done();
}

void ClipboardKeeper::HandleEvent(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7F) {
        case XCB_SELECTION_REQUEST:
            Answer(reinterpret_cast<const xcb_selection_request_event_t&>(event));
            break;
        case XCB_SELECTION_CLEAR:
            if (reinterpret_cast<const xcb_selection_clear_event_t&>(event).selection == atoms_[kClipboard]) {
                owned_ = false;
                lost_ = true;
            }
            break;
        case XCB_SELECTION_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
            // Refused (property None): the keeper goes on serving.
            if (notify.selection == atoms_[kManager] && notify.target == atoms_[kSaveTargets] &&
                notify.property != XCB_NONE) {
                manager_saved_ = true;
            }
            break;
        }
        default:
            break;  // errors of requests to vanished requestors among them
    }
}

bool ClipboardKeeper::ChangeProperty(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type, std::uint8_t format,
                                     std::uint32_t count, const void* data) {
    const std::uint64_t bytes = std::uint64_t{count} * (format / 8);
    // One request, no incremental transfer: the text is a few digits, and a
    // hand-off is at most keeper::kMaxText.
    if (bytes + 64 > std::uint64_t{xcb_get_maximum_request_length(connection_)} * 4) return false;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, type, format, count, data);
    return true;
}

bool ClipboardKeeper::Convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property) {
    const std::string_view text = keeping_.text;
    const std::optional<std::string_view>& latin1 = keeping_.latin1;
    const auto size = static_cast<std::uint32_t>(text.size());
    if (target == atoms_[kTargets]) {
        const std::array<xcb_atom_t, 8> targets = {atoms_[kTargets],    atoms_[kMultiple], atoms_[kTimestamp],
                                                   atoms_[kUtf8String], atoms_[kText],     atoms_[kMimeUtf8],
                                                   atoms_[kMimePlain],  XCB_ATOM_STRING};
        return ChangeProperty(requestor, property, XCB_ATOM_ATOM, 32, latin1 ? 8 : 7, targets.data());
    }
    if (target == atoms_[kTimestamp]) {
        return ChangeProperty(requestor, property, XCB_ATOM_INTEGER, 32, 1, &owned_since_);
    }
    if (target == atoms_[kUtf8String] || target == atoms_[kMimeUtf8] || target == atoms_[kMimePlain]) {
        return ChangeProperty(requestor, property, target, 8, size, text.data());
    }
    if (target == XCB_ATOM_STRING || target == atoms_[kText]) {
        // TEXT in the plainest encoding that holds it.
        if (latin1) {
            return ChangeProperty(requestor, property, XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(latin1->size()),
                                  latin1->data());
        }
        if (target == atoms_[kText])
            return ChangeProperty(requestor, property, atoms_[kUtf8String], 8, size, text.data());
    }
    return false;
}

// MULTIPLE: `property` holds (target, property) pairs; each is converted, or
// its property replaced by None, and the list written back.
bool ClipboardKeeper::ConvertMultiple(xcb_window_t requestor, xcb_atom_t property) {
    auto reply = Own(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
        nullptr));
    if (!reply || reply->format != 32 || reply->bytes_after != 0 ||
        (reply->type != atoms_[kAtomPair] && reply->type != XCB_ATOM_ATOM)) {
        return false;
    }
    // The pairs are marked in the reply itself, and written back from it.
    auto* pairs = static_cast<xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const auto count = static_cast<std::uint32_t>(xcb_get_property_value_length(reply.get()) / 4 / 2 * 2);
    if (count == 0) return false;
    for (std::uint32_t i = 0; i < count; i += 2) {
        const xcb_atom_t target = pairs[i];
        const xcb_atom_t into = pairs[i + 1];
        if (into == XCB_NONE || target == atoms_[kMultiple] || !Convert(requestor, target, into)) {
            pairs[i + 1] = XCB_NONE;
        }
    }
    return ChangeProperty(requestor, property, reply->type, 32, count, pairs);
}

void ClipboardKeeper::Answer(const xcb_selection_request_event_t& request) {
    // Obsolete clients name no property: the target is the property then
    // (but never for MULTIPLE, whose list is in the property).
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    // Refused: another selection, CLIPBOARD while we do not own it, and a
    // request made before we owned it (it was meant for the one before us).
    const bool ours = request.selection == atoms_[kClipboard] && owned_ && request.owner == window_ &&
                      (request.time == XCB_CURRENT_TIME || !Before(request.time, owned_since_));
    bool answered = false;
    if (ours && request.target == atoms_[kMultiple]) {
        answered = request.property != XCB_NONE && ConvertMultiple(request.requestor, request.property);
    } else if (ours) {
        answered = Convert(request.requestor, request.target, property);
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = answered ? property : XCB_NONE;
    // The server sends 32 bytes of whatever it is given: the event padded.
    char event[32] = {};
    static_assert(sizeof notify <= sizeof event);
    std::memcpy(event, &notify, sizeof notify);
    xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, event);
    xcb_flush(connection_);
}

}  // namespace quill::x11
