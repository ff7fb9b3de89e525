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

bool AskForFixedFrame(xcb_connection_t* connection, xcb_window_t window) {
    const xcb_atom_t hints_atom = InternAtom(connection, "_MOTIF_WM_HINTS");
    if (hints_atom == XCB_NONE) return false;
    enum : std::uint32_t { kFunctions = 1, kDecorations = 2 };
    enum : std::uint32_t { kMove = 4, kClose = 32 };
    enum : std::uint32_t { kBorder = 2, kTitle = 8, kMenu = 16 };
    const std::uint32_t hints[5] = {kFunctions | kDecorations, kMove | kClose, kBorder | kTitle | kMenu, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, hints_atom, hints_atom, 32, 5, hints);
    xcb_flush(connection);
    return true;
}

}  // namespace quill::x11
