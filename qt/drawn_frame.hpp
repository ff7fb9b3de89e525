// The title bar and border the window draws itself where the compositor
// draws none (on Wayland, GNOME's mutter and weston). Qt's own title bar
// there offers maximise and minimise whatever a window allows; this one is
// a fixed dialog's frame: the title, the icon and a close box, in the
// desktop's colours, and the bar moves the window when dragged.
#pragma once

#include <QAbstractButton>
#include <QMargins>
#include <QWidget>

namespace quill::qt {

class DrawnFrame final : public QWidget {
public:
    // A child of `window` (a top-level widget) that covers it, below the
    // window's other children.
    explicit DrawnFrame(QWidget& window);

    // The room the frame takes around the window's contents, in its font.
    QMargins Margins() const;
    // Follows the window's size, and its state: a full-screen window shows
    // no frame.
    void Follow();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    class CloseBox final : public QAbstractButton {
    public:
        explicit CloseBox(QWidget* parent);

    protected:
        void paintEvent(QPaintEvent* event) override;
    };

    QWidget& window_;
    CloseBox* close_;
};

}  // namespace quill::qt
