#include "qt/display_check.hpp"

#include <QByteArray>
#include <QFile>
#include <QLibraryInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <mutex>

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

std::string FatalStartLine(const std::vector<QtMessage>& said, const std::string& fatal) {
    const std::string first_line = fatal.substr(0, fatal.find('\n'));
    if (fatal.find("no Qt platform plugin could be initialized") == std::string::npos) {
        return "Qt could not start: " + first_line;
    }
    std::string complaints;
    for (const QtMessage& message : said) {
        if (!message.complaint) continue;
        if (message.text.starts_with("Could not load the Qt platform plugin")) continue;  // says nothing new
        const std::size_t begin = message.text.find_first_not_of(" \t\n");
        if (begin == std::string::npos) continue;
        const std::size_t end = message.text.find_last_not_of(" \t\n");
        complaints += (complaints.empty() ? "" : "; ") + message.text.substr(begin, end - begin + 1);
    }
    return "cannot open a display: " + (complaints.empty() ? first_line : complaints);
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
// What Qt said while it started: shown as it was if it starts, summed up in
// the one line of the failure if it does not.
struct Said {
    QtMsgType type;
    QString message;
};
std::mutex said_lock;
QList<Said> said;

void WhileOpening(QtMsgType type, const QMessageLogContext&, const QString& message) {
    std::lock_guard lock(said_lock);
    if (type != QtFatalMsg) {
        said.append({type, message});
        return;
    }
    std::vector<QtMessage> messages;
    for (const Said& s : said) {
        messages.push_back({s.type == QtWarningMsg || s.type == QtCriticalMsg, s.message.toStdString()});
    }
    std::fprintf(stderr, "quillantern: %s\n", FatalStartLine(messages, message.toStdString()).c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

DisplaySession CurrentSession(const std::string& platform_argument, const std::string& display_argument) {
    DisplaySession session;
    session.qpa_platform = platform_argument.empty() ? Environment("QT_QPA_PLATFORM") : platform_argument;
    session.x11_display = display_argument.empty() ? Environment("DISPLAY") : display_argument;
    session.wayland_display = Environment("WAYLAND_DISPLAY");
    session.has_xcb_plugin = HasPlatformPlugin("libqxcb.so");
    session.has_wayland_plugin = HasPlatformPlugin("libqwayland-generic.so");
    return session;
}

DisplayOpening::DisplayOpening() { qt_handler = qInstallMessageHandler(WhileOpening); }

DisplayOpening::~DisplayOpening() {
    qInstallMessageHandler(qt_handler);
    QList<Said> shown;
    {
        std::lock_guard lock(said_lock);
        shown.swap(said);
    }
    for (const Said& s : shown) qt_handler(s.type, QMessageLogContext(), s.message);
}

}  // namespace quill::qt
