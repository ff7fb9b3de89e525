// The size limits of an xdg-shell toplevel, sent by the program itself.
//
// Compositors learn that a window has a fixed size from its minimum and
// maximum being equal: tiling ones (sway and its cousins) float it at that
// size instead of tiling it, and stacking ones offer no maximise. Qt 6.4
// sends the limits it holds, and clamps a size the compositor configures
// to its own maximum, which a compositor that maximises anyway (weston's
// key bindings) answers with a protocol error. So the window keeps Qt's own
// maximum open and tells the compositor the real limits here.
#pragma once

namespace quill::wayland {

// Asks the compositor to hold `xdg_toplevel` (an xdg_toplevel proxy of the
// caller's connection) at exactly width x height in its normal state:
// window-geometry pixels, title bar included where the client draws one.
// Takes effect with the surface's next commit. Nothing for a null proxy or
// a size that is not positive.
void FixToplevelSize(void* xdg_toplevel, int width, int height);

// Asks the compositor to take `xdg_toplevel` out of the maximised and the
// full-screen state (those that are true), as xdg-shell's unset requests
// do. The toolkit's idea of the window's state stays what the compositor
// last configured, until it configures the normal state.
void LeaveStates(void* xdg_toplevel, bool maximized, bool fullscreen);

}  // namespace quill::wayland
