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

enum class KeeperStart {
    Kept,        // the keeper owns the selection now
    TakenOver,   // another client owned it already; no keeper runs
    NotOffered,  // no keeper can hold it here (no data-control); none runs
    Failed,      // no keeper runs, or none that said so in time; `error` says why
};

struct KeeperResult {
    KeeperStart outcome;
    std::string error;
};

// Where the keeper is for the program at `program` (its own executable):
// ../libexec/quillantern/ from its folder once installed, else beside it (the
// build tree). Nothing when neither is an executable file.
std::optional<std::string> KeeperPath(std::string_view program);

// Starts the keeper at `keeper_path` with `hand_off` and waits at most `wait`
// for its report. Every wait of the keeper ends before that (keeper/main.cpp).
KeeperResult StartKeeper(const std::string& keeper_path, const HandOff& hand_off, std::chrono::milliseconds wait);

}  // namespace quill::keeper
