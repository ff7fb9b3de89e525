#include "qt/clipboard_handoff.hpp"

#include <QClipboard>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>

#include <cstdio>
#include <optional>

#include "keeper/start.hpp"
#include "x11/xcb_helpers.hpp"

namespace quill::qt {

namespace {

constexpr int kSeeTakeOverMs = 300;

// Gives Qt the events the display server sent until `done` holds, for at
// most `ms`.
template <typename Done>
void ProcessEventsUntil(Done done, int ms) {
    QDeadlineTimer deadline(ms);
    QCoreApplication::processEvents();
    while (!done() && !deadline.hasExpired()) {
        QThread::msleep(2);
        QCoreApplication::processEvents();
    }
}

void Complain(const std::string& why) {
    std::fprintf(stderr, "quillantern: the copied value is not kept after the window closed: %s\n", why.c_str());
}

void HandOver(bool keep_copy, const std::string& x11_display) {
    const QString platform = QGuiApplication::platformName();
    const bool x11 = platform == QLatin1String("xcb");
    if (!x11 && !platform.startsWith(QLatin1String("wayland"))) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    // A takeover before the close is seen before deciding.
    QCoreApplication::processEvents();
    keeper::HandOff hand_off;
    if (x11) {
        auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!native || !native->connection()) return;
        if (clipboard->ownsSelection()) clipboard->clear(QClipboard::Selection);
        if (!keep_copy || !clipboard->ownsClipboard()) return;
        hand_off.owner = x11::ClipboardOwner(native->connection());
        if (hand_off.owner == XCB_NONE) return;
        hand_off.display = x11_display;
    } else {
        if (!keep_copy || !clipboard->ownsClipboard()) return;
        hand_off.kind = keeper::Kind::Wayland;
    }
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText()) return;
    hand_off.text = data->text().toStdString();

    const std::optional<std::string> path =
        keeper::KeeperPath(QCoreApplication::applicationFilePath().toStdString(), hand_off.kind);
    if (!path) return Complain(std::string(keeper::KeeperName(hand_off.kind)) + " is not installed beside the program");
    const keeper::KeeperResult started = keeper::StartKeeper(*path, hand_off, keeper::kReportWithin);
    if (started.outcome == keeper::Report::Failed) return Complain(started.error);
    // Qt hands CLIPBOARD to an X11 clipboard manager itself if it still owns
    // it when the application goes, and waits up to five seconds for an
    // answer: let it see that the keeper owns it now.
    if (x11 && started.outcome == keeper::Report::Kept) {
        ProcessEventsUntil([clipboard] { return !clipboard->ownsClipboard(); }, kSeeTakeOverMs);
    }
}

}  // namespace

void HandOverClipboardAtExit(bool keep_copy, const std::string& x11_display) noexcept {
    try {
        HandOver(keep_copy, x11_display);
    } catch (...) {
        std::fputs("quillantern: the copied value is not kept after the window closed\n", stderr);
    }
}

}  // namespace quill::qt
