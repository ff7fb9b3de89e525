// The X11 half of the clipboard keeper (keeper/handoff.hpp): owns CLIPBOARD
// from an unmapped input-only window, serves the text to whoever asks by the
// ICCCM (TARGETS, MULTIPLE, TIMESTAMP and the text targets), and ends as
// soon as another client owns CLIPBOARD. Where a clipboard manager runs, it
// asks it to save the text (SAVE_TARGETS) and ends once the manager says it
// has; a manager that never answers leaves the keeper serving.
#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <optional>

#include "keeper/deadline.hpp"
#include "keeper/handoff.hpp"

namespace quill::x11 {

class ClipboardKeeper {
public:
    // `keeping`'s views stay valid for the keeper's life.
    explicit ClipboardKeeper(const keeper::Keeping& keeping) : keeping_(keeping) {}
    ~ClipboardKeeper();
    ClipboardKeeper(const ClipboardKeeper&) = delete;
    ClipboardKeeper& operator=(const ClipboardKeeper&) = delete;

    // Connects and takes CLIPBOARD from the program's window, giving up at
    // `deadline`; the report for the program.
    keeper::Report Take(keeper::Deadline deadline);
    // Serves requests until another client owns CLIPBOARD, a clipboard
    // manager has saved the text, or the connection is lost.
    void Serve();

    enum Atom : std::size_t {
        kClipboard,
        kTargets,
        kMultiple,
        kTimestamp,
        kAtomPair,
        kUtf8String,
        kText,
        kMimeUtf8,
        kMimePlain,
        kManager,
        kSaveTargets,
        kProperty,
        kAtomCount
    };

private:
    bool Connect();
    std::optional<xcb_timestamp_t> ServerTime(keeper::Deadline deadline);
    // Waits for one event and handles it; false once the keeper should end.
    bool Handle();
    void HandleEvent(const xcb_generic_event_t& event);
    void Answer(const xcb_selection_request_event_t& request);
    // Converts the selection to `target` into `property` of `requestor`;
    // false when refused.
    bool Convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property);
    bool ConvertMultiple(xcb_window_t requestor, xcb_atom_t property);
    bool ChangeProperty(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type, std::uint8_t format,
                        std::uint32_t count, const void* data);
    bool Done() const;

    keeper::Keeping keeping_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t window_ = XCB_NONE;
    std::array<xcb_atom_t, kAtomCount> atoms_{};
    // The server's time when the keeper took CLIPBOARD: every ownership
    // change uses it, and requests from before it are refused.
    xcb_timestamp_t owned_since_ = 0;
    bool owned_ = false;
    bool lost_ = false;  // another client owns CLIPBOARD, or the server is gone
    bool manager_saved_ = false;
};

}  // namespace quill::x11
