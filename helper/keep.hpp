// What both keeper programs do (keeper/handoff.hpp): read the hand-off the
// program sent on descriptor 3, take the selection, report, and serve it.
// Run any other way, a keeper says so and ends.
//
// Each program serves one protocol and links only its library: a keeper
// serving a short text maps, touches and allocates no more than that needs
// (no C++ runtime, no exceptions, no heap of its own).
#pragma once

#include "keeper/deadline.hpp"
#include "keeper/handoff.hpp"

namespace quill::helper {

// The hand-off when this program was started by the program with one of
// `kind`; otherwise nothing, having said why (a usage note on stderr, or
// the report Failed to the program). `keeping`'s views point into storage
// of this file that lasts until the program ends.
bool ReadHandOff(int argc, keeper::Kind kind, keeper::Keeping& keeping);

// The report, once; a program that no longer listens changes nothing.
void Tell(keeper::Report report);

// The program's exit status for `report` once there is nothing to serve.
inline int ExitStatus(keeper::Report report) { return report == keeper::Report::Failed ? 1 : 0; }

template <typename Keeper>
int Keep(int argc, keeper::Kind kind) {
    keeper::Keeping keeping;
    if (!ReadHandOff(argc, kind, keeping)) return 2;
    Keeper keeper(keeping);
    const keeper::Report report = keeper.Take(keeper::Deadline::After(keeper::kTakeWithin));
    Tell(report);
    if (report != keeper::Report::Kept) return ExitStatus(report);
    keeper.Serve();
    return 0;
}

}  // namespace quill::helper
