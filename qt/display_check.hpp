// Whether Qt can open a display at all, decided before QApplication exists:
// Qt itself aborts (exit code 134, "Reinstalling the application may fix
// this problem") when no platform plugin can start, which tells a user
// neither what is missing nor what to do.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quill::qt {

// What the program start-up sees of the session.
struct DisplaySession {
    std::string qpa_platform;        // QT_QPA_PLATFORM, or a -platform argument
    std::string x11_display;         // DISPLAY, or a -display argument
    std::string wayland_display;     // WAYLAND_DISPLAY
    bool has_xcb_plugin = true;      // Qt's X11 platform plugin is installed
    bool has_wayland_plugin = true;  // Qt's Wayland platform plugin is installed
};

// The one-line reason why no window can be shown, or nothing when Qt may
// try. A platform the user chose explicitly is left to Qt.
std::optional<std::string> DisplayProblem(const DisplaySession& session);

// One thing Qt said while it started.
struct QtMessage {
    bool complaint;  // a warning or a critical message
    std::string text;
};

// The one line printed when Qt gives up at start-up with `fatal`, after
// saying `said`: "cannot open a display: ..." with its complaints when no
// platform plugin could start, else "Qt could not start: ..." with the
// fatal message's first line.
std::string FatalStartLine(const std::vector<QtMessage>& said, const std::string& fatal);

}  // namespace quill::qt

namespace quill::qt {

// The session as this process sees it: the environment, the -platform and
// -display arguments given (empty: none), and the platform plugins
// installed where Qt looks for them.
DisplaySession CurrentSession(const std::string& platform_argument, const std::string& display_argument);

// For the lifetime of this object (around QApplication's construction): if
// Qt gives up, print FatalStartLine on one line ("quillantern: ...") and
// exit with code 1, instead of Qt's abort. Qt may log from any thread.
class DisplayOpening {
public:
    DisplayOpening();
    ~DisplayOpening();
    DisplayOpening(const DisplayOpening&) = delete;
    DisplayOpening& operator=(const DisplayOpening&) = delete;
};

}  // namespace quill::qt
