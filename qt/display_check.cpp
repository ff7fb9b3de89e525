#include "qt/display_check.hpp"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QFile>
#include <QLibraryInfo>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quill::qt {

std::optional<std::string> DisplayProblem(const DisplaySession& s) {
    if (!s.qpa_platform.empty()) return std::nullopt;
    const bool x11 = !s.x11_display.empty();
    const bool wayland = !s.wayland_display.empty();
    const std::string prefix = "cannot open a display: ";
    if (!x11 && !wayland) return prefix + "neither DISPLAY nor WAYLAND_DISPLAY is set";
    if (wayland && s.has_wayland_plugin) return std::nullopt;
    if (x11 && s.has_xcb_plugin) return std::nullopt;
    if (!x11) {
        return prefix + "this is a Wayland session (WAYLAND_DISPLAY is set, DISPLAY is not) and Qt's Wayland " +
               "platform plugin is missing; install the Debian package qt6-wayland";
    }
    return prefix + "Qt's X11 platform plugin is missing; install the Debian package qt6-qpa-plugins" +
           (wayland ? " (or qt6-wayland for this Wayland session)" : "");
}

}  // namespace quill::qt

namespace quill::qt {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool HasPlatformPlugin(const char* file) {
    QStringList folders{QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms"};
    for (const QString& folder : qEnvironmentVariable("QT_PLUGIN_PATH").split(':', Qt::SkipEmptyParts)) {
        folders << folder + "/platforms";
    }
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM_PLUGIN_PATH")) {
        folders << qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    }
    for (const QString& folder : folders) {
        if (QFile::exists(folder + "/" + file)) return true;
    }
    return false;
}

QtMessageHandler qt_handler = nullptr;
// What Qt said while opening its display: shown as it was if the display
// opens, summed up in the one line of the failure if it does not.
struct Said {
    QtMsgType type;
    QString message;
};
QList<Said> said;

void WhileOpening(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        said.append({type, message});
        return;
    }
    QStringList complaints;
    for (const Said& s : said) {
        if (s.type != QtWarningMsg && s.type != QtCriticalMsg) continue;
        if (s.message.startsWith("Could not load the Qt platform plugin")) continue;  // says nothing new
        complaints << s.message.trimmed();
    }
    if (complaints.isEmpty()) complaints << message.section('\n', 0, 0);
    std::fprintf(stderr, "quillantern: cannot open a display: %s\n", qPrintable(complaints.join("; ")));
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

DisplaySession CurrentSession(int argc, char** argv) {
    DisplaySession session;
    session.qpa_platform = Environment("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            session.qpa_platform = argv[i + 1];
        }
    }
    session.x11_display = Environment("DISPLAY");
    session.wayland_display = Environment("WAYLAND_DISPLAY");
    session.has_xcb_plugin = HasPlatformPlugin("libqxcb.so");
    session.has_wayland_plugin = HasPlatformPlugin("libqwayland-generic.so");
    return session;
}

DisplayOpening::DisplayOpening() { qt_handler = qInstallMessageHandler(WhileOpening); }

DisplayOpening::~DisplayOpening() {
    qInstallMessageHandler(qt_handler);
    for (const Said& s : said) qt_handler(s.type, QMessageLogContext(), s.message);
    said.clear();
}

}  // namespace quill::qt
