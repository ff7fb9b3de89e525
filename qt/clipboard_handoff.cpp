#include "qt/clipboard_handoff.hpp"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "qt/clipboard_keeper.hpp"

namespace quill::qt {

namespace {

constexpr std::chrono::milliseconds kKeeperReport{700};
constexpr int kSeeTakeOverMs = 300;

// Gives Qt the events the X server sent until `done` holds, for at most `ms`.
template <typename Done>
void ProcessEventsUntil(Done done, int ms) {
    QDeadlineTimer deadline(ms);
    QCoreApplication::processEvents();
    while (!done() && !deadline.hasExpired()) {
        QThread::msleep(2);
        QCoreApplication::processEvents();
    }
}

// The X display Qt opened: the one named by Qt's -display option, which
// QApplication has taken out of argv by now, else $DISPLAY (empty).
std::string DisplayName() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string display, previous;
    for (std::size_t start = 0; start < all.size();) {
        std::size_t end = all.find('\0', start);
        if (end == std::string::npos) end = all.size();
        std::string argument = all.substr(start, end - start);
        if (previous == "-display" || previous == "--display") display = argument;
        previous = std::move(argument);
        start = end + 1;
    }
    return display;
}

xcb_window_t ClipboardOwner(xcb_connection_t* connection) {
    constexpr char kName[] = "CLIPBOARD";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName), nullptr),
        &std::free);
    if (!atom || atom->atom == XCB_NONE) return XCB_NONE;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return owner ? owner->owner : XCB_NONE;
}

void HandOver(bool keep_copy) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!clipboard || !x11 || !x11->connection()) return;
    // A takeover before the close is seen before deciding.
    QCoreApplication::processEvents();
    if (clipboard->ownsSelection()) clipboard->clear(QClipboard::Selection);
    if (!keep_copy || !clipboard->ownsClipboard()) return;
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText()) return;

    const QByteArray text = data->text().toUtf8();
    const xcb_window_t owner = ClipboardOwner(x11->connection());
    if (owner == XCB_NONE) return;
    const KeeperResult started =
        StartClipboardKeeper(std::string_view(text.constData(), static_cast<std::size_t>(text.size())), owner,
                             DisplayName(), kKeeperReport);
    if (started.outcome == KeeperStart::Failed) {
        std::fprintf(stderr, "quillantern: the copied value is not kept after the window closed: %s\n",
                     started.error.c_str());
        return;
    }
    // Qt hands CLIPBOARD to a clipboard manager itself if it still owns it
    // when the application goes, and waits up to five seconds for an answer:
    // let it see that the keeper owns it now.
    if (started.outcome == KeeperStart::Kept) {
        ProcessEventsUntil([clipboard] { return !clipboard->ownsClipboard(); }, kSeeTakeOverMs);
    }
}

}  // namespace

void HandOverClipboardAtExit(bool keep_copy) noexcept {
    try {
        HandOver(keep_copy);
    } catch (...) {
        std::fputs("quillantern: the copied value is not kept after the window closed\n", stderr);
    }
}

}  // namespace quill::qt
