#include "qt/wayland_size.hpp"

#include <qpa/qplatformnativeinterface.h>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "wayland/toplevel_size.hpp"

namespace quill::qt {

FixedWaylandSize::FixedWaylandSize(QWidget& window) : QObject(&window), window_(window) {
    if (QGuiApplication::platformName().startsWith("wayland")) window_.installEventFilter(this);
}

void FixedWaylandSize::SetContentSize(QSize size) {
    content_ = size;
    Send();
}

bool FixedWaylandSize::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Show && !watching_handle_ && window_.windowHandle()) {
        // The toplevel exists once the window is visible; each expose
        // (the first configure, and every one after) comes before the
        // frame Qt commits for it, so the limits travel with that frame.
        window_.windowHandle()->installEventFilter(this);
        watching_handle_ = true;
    } else if (watched == window_.windowHandle() && event->type() == QEvent::Expose) {
        Send();
    }
    return false;
}

void FixedWaylandSize::Send() {
    QWindow* handle = window_.windowHandle();
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (!handle || !native || content_.isEmpty()) return;
    void* toplevel = native->nativeResourceForWindow("xdg_toplevel", handle);
    const QMargins frame = handle->frameMargins();
    wayland::FixToplevelSize(toplevel, content_.width() + frame.left() + frame.right(),
                             content_.height() + frame.top() + frame.bottom());
}

}  // namespace quill::qt
