#include "qt/wayland_size.hpp"

#include <qpa/qplatformnativeinterface.h>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "wayland/server_decorations.hpp"
#include "wayland/toplevel_size.hpp"

namespace quill::qt {

bool CompositorDrawsFrames() {
    if (!QGuiApplication::platformName().startsWith("wayland")) return false;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    return native && wayland::OffersServerDecorations(native->nativeResourceForIntegration("wl_display"));
}

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

void* FixedWaylandSize::Toplevel() const {
    QWindow* handle = window_.windowHandle();
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (!handle || !native || !watching_handle_) return nullptr;
    return native->nativeResourceForWindow("xdg_toplevel", handle);
}

void FixedWaylandSize::Send() {
    void* toplevel = Toplevel();
    if (!toplevel || content_.isEmpty()) return;
    const QMargins frame = window_.windowHandle()->frameMargins();
    wayland::FixToplevelSize(toplevel, content_.width() + frame.left() + frame.right(),
                             content_.height() + frame.top() + frame.bottom());
}

void FixedWaylandSize::LeaveStates(Qt::WindowStates states) {
    wayland::LeaveStates(Toplevel(), states & Qt::WindowMaximized, states & Qt::WindowFullScreen);
}

}  // namespace quill::qt
