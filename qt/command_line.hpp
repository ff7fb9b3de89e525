// The program's own options, read before Qt starts, so that --help and
// --version answer without a display. Qt's options pass through untouched.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::qt {

struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string error;  // for Action::Error: what was wrong, in one line
};

// argv without the program name.
CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments);

std::string UsageText();
std::string VersionText();

// Parses argv and answers --help, --version or a bad option on stdout or
// stderr. Returns the exit status when the program must stop there, or
// nothing when the window should open.
std::optional<int> HandleCommandLine(int argc, const char* const* argv);

}  // namespace quill::qt
