#include "qt/command_line.hpp"

#include <array>
#include <cstdio>

#ifndef QUILL_VERSION_TEXT
#error "QUILL_VERSION_TEXT must be defined by the build"
#endif

namespace quill::qt {
namespace {

// The options QGuiApplication, QApplication and the X11 platform plugin
// read themselves. Qt accepts them with one dash or two.
constexpr std::array<std::string_view, 16> kQtOptionsWithValue = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin",  "-qwindowgeometry", "-geometry", "-qwindowicon",
    "-icon",     "-qwindowtitle",       "-title",         "-session", "-display",         "-name",     "-visual",
    "-style",    "-stylesheet"};
constexpr std::array<std::string_view, 6> kQtFlags = {"-reverse", "-testability", "-widgetcount",
                                                      "-nograb",  "-dograb",      "-sync"};
// These also take their value after '=' in the same argument.
constexpr std::array<std::string_view, 3> kQtOptionsWithEquals = {"-style=", "-stylesheet=", "-qmljsdebugger="};

template <std::size_t N>
bool OneOf(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::string_view candidate : names) {
        if (candidate == name) return true;
    }
    return false;
}

template <std::size_t N>
bool StartsWithOneOf(const std::array<std::string_view, N>& prefixes, std::string_view name) {
    for (std::string_view prefix : prefixes) {
        if (name.starts_with(prefix)) return true;
    }
    return false;
}

CommandLine Error(std::string message) { return {CommandLine::Action::Error, std::move(message), {}, {}}; }

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments) {
    bool help = false;
    bool version = false;
    std::string platform, display;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "-h" || argument == "--help") {
            help = true;
            continue;
        }
        if (argument == "--version") {
            version = true;
            continue;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            return Error("unexpected argument '" + std::string(argument) + "'");
        }
        // Qt reads "--name" as "-name".
        const std::string_view qt_name = argument.starts_with("--") ? argument.substr(1) : argument;
        if (OneOf(kQtFlags, qt_name) || StartsWithOneOf(kQtOptionsWithEquals, qt_name)) continue;
        if (OneOf(kQtOptionsWithValue, qt_name)) {
            if (i + 1 == arguments.size()) return Error("option '" + std::string(argument) + "' needs a value");
            ++i;
            if (qt_name == "-platform") platform = arguments[i];
            if (qt_name == "-display") display = arguments[i];
            continue;
        }
        return Error("unknown option '" + std::string(argument) + "'");
    }
    if (help) return {CommandLine::Action::Help, {}, {}, {}};
    if (version) return {CommandLine::Action::Version, {}, {}, {}};
    return {CommandLine::Action::Run, {}, std::move(platform), std::move(display)};
}

std::string UsageText() {
    return "Usage: quillantern [--help | --version] [Qt options]\n"
           "Pick a colour and read it as a decimal value, its red, green and blue\n"
           "channels and its HTML code.\n"
           "\n"
           "  -h, --help     print this help and exit\n"
           "      --version  print the version and exit\n"
           "\n"
           "Qt's own options also apply, for example -platform NAME, -display DISPLAY,\n"
           "-style NAME, -geometry WIDTHxHEIGHT+X+Y and -reverse.\n";
}

std::string VersionText() { return "Quillantern " QUILL_VERSION_TEXT "\n"; }

HandledCommandLine HandleCommandLine(int argc, const char* const* argv) {
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    HandledCommandLine handled{ParseCommandLine(arguments), std::nullopt};
    const CommandLine& command_line = handled.command_line;
    switch (command_line.action) {
        case CommandLine::Action::Run:
            return handled;
        case CommandLine::Action::Help:
            std::fputs(UsageText().c_str(), stdout);
            break;
        case CommandLine::Action::Version:
            std::fputs(VersionText().c_str(), stdout);
            break;
        case CommandLine::Action::Error:
            std::fprintf(stderr, "quillantern: %s\n\n%s", command_line.error.c_str(), UsageText().c_str());
            handled.status = 2;
            return handled;
    }
    // A full disk or a closed pipe must not look like success.
    handled.status = std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    return handled;
}

}  // namespace quill::qt
