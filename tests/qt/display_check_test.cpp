// What the program says when it cannot show its window, before Qt would
// abort.
#include <gtest/gtest.h>

#include <QtGlobal>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "qt/display_check.hpp"

namespace quill::qt {
namespace {

TEST(DisplayCheck, SaysWhatIsMissingAndLeavesAnyWorkableSessionToQt) {
    const struct {
        DisplaySession session;
        const char* problem;  // nullptr: Qt may try
    } cases[] = {
        {{"", "", ""}, "cannot open a display: neither DISPLAY nor WAYLAND_DISPLAY is set"},
        {{"offscreen", "", ""}, nullptr},
        {{"", ":0", ""}, nullptr},
        {{"", "", "wayland-0"}, nullptr},
        {{"", ":0", "wayland-0", true, false}, nullptr},
        {{"", ":0", "wayland-0", false, true}, nullptr},
        {{"", "", "wayland-0", true, false},
         "cannot open a display: this is a Wayland session (WAYLAND_DISPLAY is set, DISPLAY is not) and Qt's "
         "Wayland platform plugin is missing; install the Debian package qt6-wayland"},
        {{"", ":0", "", false, true},
         "cannot open a display: Qt's X11 platform plugin is missing; install the Debian package qt6-qpa-plugins"},
        {{"", ":0", "wayland-0", false, false},
         "cannot open a display: Qt's X11 platform plugin is missing; install the Debian package qt6-qpa-plugins "
         "(or qt6-wayland for this Wayland session)"},
    };
    for (const auto& c : cases) {
        const auto problem = DisplayProblem(c.session);
        SCOPED_TRACE(c.session.qpa_platform + "|" + c.session.x11_display + "|" + c.session.wayland_display);
        if (c.problem) {
            ASSERT_TRUE(problem.has_value());
            EXPECT_EQ(*problem, c.problem);
        } else {
            EXPECT_FALSE(problem.has_value()) << *problem;
        }
    }
}

TEST(DisplayCheck, TheLineOfAFailedStartSaysWhetherADisplayOrSomethingElseFailed) {
    const std::string no_plugin =
        "This application failed to start because no Qt platform plugin could be initialized. Reinstalling the "
        "application may fix this problem.\n\nAvailable platform plugins are: xcb.";
    const struct {
        std::vector<QtMessage> said;
        std::string fatal;
        const char* line;
    } cases[] = {
        {{{true, "qt.qpa.xcb: could not connect to display :9\n"},
          {false, "an informational message"},
          {true, "Could not load the Qt platform plugin \"xcb\" in \"\" even though it was found."}},
         no_plugin,
         "cannot open a display: qt.qpa.xcb: could not connect to display :9"},
        {{},
         no_plugin,
         "cannot open a display: This application failed to start because no Qt platform plugin could be "
         "initialized. Reinstalling the application may fix this problem."},
        {{{true, "qt.qpa.xcb: could not connect to display :9"}},
         "QWidget: Must construct a QApplication first\nx",
         "Qt could not start: QWidget: Must construct a QApplication first"},
    };
    for (const auto& c : cases) EXPECT_EQ(FatalStartLine(c.said, c.fatal), c.line);
}

TEST(DisplayCheck, TheDisplayArgumentCountsAsTheSessionsDisplay) {
    const char* saved = std::getenv("DISPLAY");
    const std::string before = saved ? saved : "";
    ::unsetenv("DISPLAY");
    EXPECT_EQ(CurrentSession("", ":5").x11_display, ":5");
    EXPECT_EQ(CurrentSession("offscreen", "").qpa_platform, "offscreen");
    if (saved) ::setenv("DISPLAY", before.c_str(), 1);
}

std::atomic<int> shown{0};

TEST(DisplayCheck, WhatQtSaysFromAnyThreadWhileStartingIsShownOnceItHasStarted) {
    shown = 0;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++shown; });
    constexpr int kThreads = 4, kEach = 2000;
    {
        DisplayOpening opening;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([] {
                for (int i = 0; i < kEach; ++i) qWarning("said while starting");
            });
        }
        for (std::thread& thread : threads) thread.join();
        EXPECT_EQ(shown, 0) << "held back while Qt starts";
    }
    EXPECT_EQ(shown, kThreads * kEach);
    qInstallMessageHandler(previous);
}

}  // namespace
}  // namespace quill::qt
