// Keeps the copied text on the X11 clipboard after the window has closed.
//
// An X11 selection lives only as long as the client that owns it. When the
// program ends while it owns CLIPBOARD, it hands the text to a small detached
// copy of itself, the keeper: started as kClipboardKeeperName, the text given
// through a socket on descriptor 3. The keeper owns CLIPBOARD from an unmapped
// input-only window, answers requests for the text, and ends as soon as
// another client owns CLIPBOARD. Where a clipboard manager runs, the keeper
// asks it to save the text instead and ends within a bounded time.
//
// Nothing here uses Qt: the keeper is started with fork and exec from a
// process that has threads, and runs on libxcb alone.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill::qt {

inline constexpr const char* kClipboardKeeperName = "quillantern-clipboard";

// Whether this process was started as the keeper: argv[0] is the keeper's
// name and descriptor 3 is the socket it was started with. Anything else is
// the program itself (a renamed copy of the program included).
bool IsClipboardKeeper(int argc, char** argv);

// The keeper's whole life; returns its exit status.
int RunClipboardKeeper();

enum class KeeperStart {
    Kept,      // the keeper owns CLIPBOARD now
    TakenOver, // another client owned CLIPBOARD already; no keeper runs
    Failed,    // no keeper runs; `error` says why
};

struct KeeperResult {
    KeeperStart outcome;
    std::string error;
};

// Starts a detached keeper for `text` (UTF-8) and waits at most `wait` for it
// to report. `owner` is the window that owns CLIPBOARD now; the keeper takes
// the selection over only from that window, on `display` (empty: the one
// in $DISPLAY).
KeeperResult StartClipboardKeeper(std::string_view text, std::uint32_t owner, std::string_view display,
                                  std::chrono::milliseconds wait);

// The text as ISO 8859-1 (the STRING target), when every character has a
// place in it; nothing for text that is not valid UTF-8 or not Latin-1.
std::optional<std::string> Latin1FromUtf8(std::string_view utf8);

}  // namespace quill::qt
