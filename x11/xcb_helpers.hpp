// The few libxcb pieces the X11 clipboard keeper, the program's hand-off of
// the clipboard and its window frame share. No Qt here: the keeper is a
// small client of its own.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace quill::x11 {

// A reply libxcb allocated, freed with free().
template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Own(T* reply) {
    return Reply<T>(reply, &std::free);
}

// The atom named `name`; XCB_NONE when the server does not answer, or when
// `only_if_exists` and no client has named it yet.
xcb_atom_t InternAtom(xcb_connection_t* connection, std::string_view name, bool only_if_exists = false);

// The window that owns `selection` now (XCB_NONE: nobody).
xcb_window_t SelectionOwner(xcb_connection_t* connection, xcb_atom_t selection);

// The window that owns CLIPBOARD now (XCB_NONE: nobody, or no client ever
// named CLIPBOARD).
xcb_window_t ClipboardOwner(xcb_connection_t* connection);

// Tells window managers (through the Motif hints) that a window is a fixed
// dialog frame: it may be moved and closed, and has a border, a title and a
// window menu; no resizing, minimising or maximising. The hints' atom is
// asked for as the request is made and read when it is applied, so that
// the round trip overlaps whatever the client does in between (building
// the window) instead of waiting for the server.
class FixedFrameRequest {
public:
    explicit FixedFrameRequest(xcb_connection_t* connection);
    ~FixedFrameRequest();
    FixedFrameRequest(const FixedFrameRequest&) = delete;
    FixedFrameRequest& operator=(const FixedFrameRequest&) = delete;

    // Sets the hints on `window`; again on each window it is applied to.
    // False when the server did not answer.
    bool ApplyTo(xcb_window_t window);

private:
    xcb_connection_t* connection_;
    xcb_intern_atom_cookie_t cookie_;
    bool answered_ = false;
    xcb_atom_t atom_ = XCB_NONE;
};

}  // namespace quill::x11
