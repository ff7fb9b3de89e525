#include "x11/xcb_helpers.hpp"

#include <cstdint>

namespace quill::x11 {

xcb_atom_t InternAtom(xcb_connection_t* connection, std::string_view name, bool only_if_exists) {
    auto reply = Own(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, only_if_exists ? 1 : 0, static_cast<std::uint16_t>(name.size()), name.data()),
        nullptr));
    return reply ? reply->atom : XCB_NONE;
}

xcb_window_t SelectionOwner(xcb_connection_t* connection, xcb_atom_t selection) {
    auto reply =
        Own(xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr));
    return reply ? reply->owner : XCB_NONE;
}

xcb_window_t ClipboardOwner(xcb_connection_t* connection) {
    const xcb_atom_t clipboard = InternAtom(connection, "CLIPBOARD", true);
    return clipboard == XCB_NONE ? XCB_NONE : SelectionOwner(connection, clipboard);
}

namespace {
constexpr std::string_view kMotifHints = "_MOTIF_WM_HINTS";
}  // namespace

FixedFrameRequest::FixedFrameRequest(xcb_connection_t* connection)
    : connection_(connection),
      cookie_(xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(kMotifHints.size()), kMotifHints.data())) {}

FixedFrameRequest::~FixedFrameRequest() {
    if (!answered_) xcb_discard_reply(connection_, cookie_.sequence);
}

bool FixedFrameRequest::ApplyTo(xcb_window_t window) {
    if (!answered_) {
        answered_ = true;
        const auto reply = Own(xcb_intern_atom_reply(connection_, cookie_, nullptr));
        atom_ = reply ? reply->atom : XCB_NONE;
    }
    if (atom_ == XCB_NONE) return false;
    enum : std::uint32_t { kFunctions = 1, kDecorations = 2 };
    enum : std::uint32_t { kMove = 4, kClose = 32 };
    enum : std::uint32_t { kBorder = 2, kTitle = 8, kMenu = 16 };
    const std::uint32_t hints[5] = {kFunctions | kDecorations, kMove | kClose, kBorder | kTitle | kMenu, 0, 0};
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom_, atom_, 32, 5, hints);
    xcb_flush(connection_);
    return true;
}

}  // namespace quill::x11
