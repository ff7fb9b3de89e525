// Keeps a Qt window at its own size on every Wayland compositor (see
// wayland/toplevel_size.hpp for why Qt's own limits do not do it).
#pragma once

#include <QObject>
#include <QSize>

class QWidget;

namespace quill::qt {

// Whether Qt runs on a Wayland compositor that draws the windows' frames
// (xdg-decoration); false on other platforms.
bool CompositorDrawsFrames();

class FixedWaylandSize final : public QObject {
public:
    // Watches `window` (a top-level widget) and, while Qt runs on Wayland,
    // tells the compositor its size limits each time it is shown or
    // configured. Nothing on other platforms.
    explicit FixedWaylandSize(QWidget& window);

    // The size of the window's contents; the limits add the frame Qt draws.
    void SetContentSize(QSize size);
    // Asks the compositor for the normal state back, out of those of
    // `states` (maximised, full screen) it has set; Qt learns of it from the
    // compositor's answer.
    void LeaveStates(Qt::WindowStates states);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Send();
    void* Toplevel() const;

    QWidget& window_;
    QSize content_;
    bool watching_handle_ = false;
};

}  // namespace quill::qt
