#include "qt/drawn_frame.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include <algorithm>

namespace quill::qt {

namespace {

// The frame's measures, in the window's pixels: a border, and a bar tall
// enough for the icon and for the title in the window's font.
constexpr int kBorder = 3;
constexpr int kBarAtLeast = 30;
constexpr int kIcon = 22;
constexpr int kBox = 18;      // the close box, square
constexpr int kBoxRight = 8;  // from the window's right edge
constexpr int kSpacing = 5;

int BarHeight(const QFont& font) {
    QFont title = font;
    title.setBold(true);
    return std::max(kBarAtLeast, QFontMetrics(title).height() + 2 * kSpacing + 2);
}

bool FullScreen(const QWidget& window) { return window.windowState() & Qt::WindowFullScreen; }

}  // namespace

DrawnFrame::CloseBox::CloseBox(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);  // the form's keyboard order stays its own
    setCursor(Qt::ArrowCursor);
    // Named as Qt's dialogs name the button, in the user's language.
    setAccessibleName(QCoreApplication::translate("QPlatformTheme", "Close"));
}

void DrawnFrame::CloseBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown() || underMouse()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Midlight));
        painter.drawRoundedRect(QRectF(rect()), 3, 3);
    }
    const bool active = window()->isActiveWindow();
    QPen pen(palette().color(active ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    pen.setWidthF(2);
    painter.setPen(pen);
    const qreal half = height() / 4.6;
    const QPointF centre = QRectF(rect()).center();
    painter.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
    painter.drawLine(centre + QPointF(-half, half), centre + QPointF(half, -half));
}

DrawnFrame::DrawnFrame(QWidget& window) : QWidget(&window), window_(window), close_(new CloseBox(this)) {
    setFocusPolicy(Qt::NoFocus);
    // The close box asks the window to close, as a compositor's does.
    connect(close_, &QAbstractButton::clicked, &window_, &QWidget::close);
    lower();
    Follow();
}

QMargins DrawnFrame::Margins() const {
    if (FullScreen(window_)) return {};
    return {kBorder, BarHeight(window_.font()), kBorder, kBorder};
}

void DrawnFrame::Follow() {
    setGeometry(window_.rect());
    setVisible(!FullScreen(window_));
    const int bar = Margins().top();
    close_->setGeometry(width() - kBoxRight - kBox, (bar - kBox) / 2, kBox, kBox);
}

void DrawnFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QMargins margins = Margins();
    const bool active = window_.isActiveWindow();
    const QPalette& colours = palette();

    // The frame in the window's colour, its outline a shade darker.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter.fillPath(outline, colours.color(QPalette::Window));
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawPath(outline);

    // The icon at the left, the title centred between it and the close box.
    const int bar = margins.top();
    int title_left = kBorder + kSpacing;
    const QIcon icon = window_.windowIcon();
    if (!icon.isNull()) {
        icon.paint(&painter, QRect(title_left, (bar - kIcon) / 2, kIcon, kIcon));
        title_left += kIcon + kSpacing;
    }
    const int title_right = close_->geometry().left() - kSpacing;
    QFont title = window_.font();
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(colours.color(active ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QString text =
        QFontMetrics(title).elidedText(window_.windowTitle(), Qt::ElideRight, title_right - title_left);
    // Centred in the whole bar where there is room, else in what is left.
    QRect room(0, 0, width(), bar);
    if (QFontMetrics(title).horizontalAdvance(text) / 2 > width() / 2 - title_left) {
        room = QRect(title_left, 0, title_right - title_left, bar);
    }
    painter.drawText(room, Qt::AlignCenter | Qt::TextSingleLine, text);
}

void DrawnFrame::mousePressEvent(QMouseEvent* event) {
    // Dragging the bar moves the window: the compositor moves it.
    if (event->button() == Qt::LeftButton && event->position().y() < Margins().top() && window_.windowHandle()) {
        window_.windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

bool DrawnFrame::event(QEvent* event) {
    // The title dims while another window is active.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
        update();
        close_->update();
    }
    return QWidget::event(event);
}

}  // namespace quill::qt
