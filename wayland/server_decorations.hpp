// Whether a Wayland compositor draws the windows' title bars and borders.
//
// Compositors that do offer it through xdg-decoration (KWin, sway); those
// that do not (GNOME's mutter, weston) leave each client to draw its own,
// where Qt's default title bar offers maximise and minimise whatever the
// window's size limits.
#pragma once

namespace quill::wayland {

// Whether the compositor of `display` (a wl_display of the caller's, as Qt
// hands it out) offers server-side decorations (zxdg_decoration_manager_v1).
// One round trip, on an event queue of its own, so that the caller's
// dispatching sees nothing of it. False for a null display or without
// libwayland-client loaded.
bool OffersServerDecorations(void* display);

}  // namespace quill::wayland
