// What the program hands to the clipboard keeper when its window closes
// while it owns the clipboard, and the one-byte report the keeper sends back
// once it has the selection (or knows it cannot take it). There is one
// keeper program a protocol: quillantern-clipboard-x11 and
// quillantern-clipboard-wayland (helper/).
//
// The keeper is started with the socket on descriptor 3; the program writes
// one message and shuts its side for writing:
//   KIND OWNER-HEX '\n' DISPLAY '\n' TEXT
// KIND is 'x' (X11: OWNER is the window that owns CLIPBOARD now, DISPLAY the
// X display, empty for $DISPLAY) or 'w' (Wayland: OWNER is unused, DISPLAY the
// Wayland display, empty for $WAYLAND_DISPLAY).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill::keeper {

inline constexpr int kHandOffFd = 3;
inline constexpr std::size_t kMaxText = 64 * 1024;
inline constexpr std::size_t kMaxDisplayName = 256;
// The longest message: its head, the display's name, two line breaks, the text.
inline constexpr std::size_t kMaxMessage = 10 + kMaxDisplayName + 1 + kMaxText;

// The program listens this long for the keeper's report (and so ends within
// it); every wait of the keeper before it reports ends well before.
inline constexpr std::chrono::milliseconds kReportWithin{800};
inline constexpr std::chrono::milliseconds kTakeWithin{500};
static_assert(kTakeWithin * 3 / 2 <= kReportWithin);

enum class Kind : char { X11 = 'x', Wayland = 'w' };

// The keeper program for `kind`.
constexpr const char* KeeperName(Kind kind) {
    return kind == Kind::Wayland ? "quillantern-clipboard-wayland" : "quillantern-clipboard-x11";
}

// The hand-off as the program makes it.
struct HandOff {
    Kind kind = Kind::X11;
    std::uint32_t owner = 0;
    std::string display;
    std::string text;  // UTF-8
};

// The hand-off as the keeper reads it: views into the message.
struct HandOffView {
    Kind kind = Kind::X11;
    std::uint32_t owner = 0;
    std::string_view display;
    std::string_view text;
};

// The message for `hand_off`, or nothing when it cannot be sent (text too
// long, a display name with a line break or too long).
std::optional<std::string> EncodeHandOff(const HandOff& hand_off);
// The hand-off in `message`, or nothing when it is not one.
std::optional<HandOffView> DecodeHandOff(std::string_view message);

// The keeper's report; also what starting it came to (keeper/start.hpp).
enum class Report : char {
    Kept = 'k',        // the keeper owns the selection now and serves the text
    TakenOver = 't',   // another client owned the selection already; no keeper runs
    NotOffered = 'n',  // the compositor offers no way to keep it; no keeper runs
    Failed = 'f',      // the keeper could not take it, or none runs
};

// The text as ISO 8859-1 (the X11 STRING target), written to `latin1`
// (room for utf8.size() bytes), when every character has a place in it;
// nothing for text that is not valid UTF-8 or not Latin-1.
std::optional<std::string_view> Latin1FromUtf8(std::string_view utf8, char* latin1);

// What a keeper serves, and where: views into storage that outlives it.
struct Keeping {
    const char* display = nullptr;  // null: the environment's
    std::uint32_t owner = 0;        // X11: the window that owns CLIPBOARD now
    std::string_view text;          // UTF-8
    std::optional<std::string_view> latin1;
};

}  // namespace quill::keeper
