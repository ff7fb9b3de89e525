// Whether Qt can open a display at all, decided before QApplication exists:
// Qt itself aborts (exit code 134, "Reinstalling the application may fix
// this problem") when no platform plugin can start, which tells a user
// neither what is missing nor what to do.
#pragma once

#include <optional>
#include <string>

namespace quill::qt {

// What the program start-up sees of the session.
struct DisplaySession {
    std::string qpa_platform;       // QT_QPA_PLATFORM, or a -platform argument
    std::string x11_display;        // DISPLAY
    std::string wayland_display;    // WAYLAND_DISPLAY
    bool has_xcb_plugin = true;     // Qt's X11 platform plugin is installed
    bool has_wayland_plugin = true; // Qt's Wayland platform plugin is installed
};

// The one-line reason why no window can be shown, or nothing when Qt may
// try. A platform the user chose explicitly is left to Qt.
std::optional<std::string> DisplayProblem(const DisplaySession& session);

}  // namespace quill::qt

namespace quill::qt {

// The session as this process sees it: environment, -platform argument and
// the platform plugins installed where Qt looks for them.
DisplaySession CurrentSession(int argc, char** argv);

// For the lifetime of this object (around QApplication's construction): if
// Qt fails to open its display, print what Qt last complained of on one line
// ("quillantern: cannot open a display: ...") and exit with code 1, instead
// of Qt's abort.
class DisplayOpening {
public:
    DisplayOpening();
    ~DisplayOpening();
    DisplayOpening(const DisplayOpening&) = delete;
    DisplayOpening& operator=(const DisplayOpening&) = delete;
};

}  // namespace quill::qt
