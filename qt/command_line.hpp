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
    // Qt's options the program itself needs to know: the platform plugin
    // (-platform) and the X display (-display) asked for; empty when not
    // given (then QT_QPA_PLATFORM and $DISPLAY apply). The last one counts,
    // as it does for Qt.
    std::string platform;
    std::string display;
};

// argv without the program name.
CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments);

std::string UsageText();
std::string VersionText();

// Parses argv (once, before Qt changes it) and answers --help, --version or
// a bad option on stdout or stderr: then `status` is the exit status and
// the program stops there. Otherwise the window opens with `command_line`.
struct HandledCommandLine {
    CommandLine command_line;
    std::optional<int> status;
};
HandledCommandLine HandleCommandLine(int argc, const char* const* argv);

}  // namespace quill::qt
