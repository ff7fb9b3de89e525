// What the program says when it cannot show its window, before Qt would
// abort.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quill::qt
