// Starts the clipboard keeper (keeper/handoff.hpp) from the program: a
// detached process in a session of its own, with no terminal, its output
// going nowhere, found relative to the program's own executable.
//
// Plain POSIX, safe to call from a process that has threads: everything the
// child needs is made before fork, and between fork and exec only
// async-signal-safe calls run.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "keeper/handoff.hpp"

namespace quill::keeper {

struct KeeperResult {
    Report outcome;
    std::string error;  // why, when Failed
};

// Where the keeper for `kind` is for the program at `program` (its own
// executable): ../libexec/quillantern/ from its folder once installed, else
// beside it (the build tree). Nothing when neither is an executable file.
std::optional<std::string> KeeperPath(std::string_view program, Kind kind);

// Starts the keeper at `keeper_path` with `hand_off` and waits at most `wait`
// for its report. Every wait of the keeper ends before that (helper/).
KeeperResult StartKeeper(const std::string& keeper_path, const HandOff& hand_off, std::chrono::milliseconds wait);

}  // namespace quill::keeper
