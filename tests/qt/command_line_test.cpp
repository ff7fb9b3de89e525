// The program's own options and Qt's, read before any window exists.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "qt/command_line.hpp"

namespace quill::qt {
namespace {

using Action = CommandLine::Action;

struct Case {
    std::vector<std::string_view> arguments;
    Action action;
    std::string_view error_mentions = {};
};

TEST(CommandLine, ActionsForEachKindOfArgument) {
    const std::vector<Case> cases = {
        {{}, Action::Run},
        {{"--help"}, Action::Help},
        {{"-h"}, Action::Help},
        {{"--version"}, Action::Version},
        {{"--version", "--help"}, Action::Help},
        // Qt's options, with one dash or two, and their values.
        {{"-platform", "offscreen"}, Action::Run},
        {{"--platform", "offscreen", "--version"}, Action::Version},
        {{"-style", "fusion", "-reverse", "-display", ":1", "-geometry", "200x100+0+0"}, Action::Run},
        {{"-style=fusion", "--qwindowgeometry", "1x1", "-name", "q", "-widgetcount"}, Action::Run},
        // A value is a value even when it looks like one of ours.
        {{"-title", "--help"}, Action::Run},
        {{"-qwindowtitle", "--bogus"}, Action::Run},
        // What neither Qt nor the program knows.
        {{"--bogus"}, Action::Error, "'--bogus'"},
        {{"-v"}, Action::Error, "'-v'"},
        {{"--help", "--bogus"}, Action::Error, "'--bogus'"},
        {{"picture.png"}, Action::Error, "'picture.png'"},
        {{"-"}, Action::Error, "'-'"},
        {{"--style"}, Action::Error, "needs a value"},
        {{"-platform"}, Action::Error, "needs a value"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (std::string_view argument : c.arguments) shown += std::string(argument) + " ";
        const CommandLine parsed = ParseCommandLine(c.arguments);
        EXPECT_EQ(parsed.action, c.action) << shown;
        if (c.action == Action::Error) {
            EXPECT_NE(parsed.error.find(c.error_mentions), std::string::npos) << shown << "-> " << parsed.error;
        } else {
            EXPECT_TRUE(parsed.error.empty()) << shown;
        }
    }
}

TEST(CommandLine, ThePlatformAndDisplayAskedForAreTheLastOnesGivenAsOptions) {
    const struct {
        std::vector<std::string_view> arguments;
        std::string_view platform, display;
    } cases[] = {
        {{}, "", ""},
        {{"-platform", "offscreen", "--display", ":3"}, "offscreen", ":3"},
        {{"--platform", "xcb", "-platform", "wayland", "-display", ":1", "-display", ":2"}, "wayland", ":2"},
        // Values of other options, never options themselves.
        {{"-title", "-platform", "-name", "-display"}, "", ""},
        {{"-qwindowtitle", "-display", "-platform", "-title"}, "-title", ""},
    };
    for (const auto& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.arguments);
        ASSERT_EQ(parsed.action, Action::Run);
        EXPECT_EQ(parsed.platform, c.platform);
        EXPECT_EQ(parsed.display, c.display);
    }
}

TEST(CommandLine, TextsNameTheProgramItsVersionAndOptions) {
    EXPECT_EQ(VersionText(), "Quillantern 1.00\n");
    const std::string usage = UsageText();
    EXPECT_TRUE(usage.starts_with("Usage: quillantern")) << usage;
    for (const char* option : {"--help", "--version", "-platform", "-display", "-style"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace quill::qt
