#include "qt/form_widget.hpp"

#include <QAccessibleWidget>
#include <QEvent>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <vector>

#include <xcb/xcb.h>

#include "base/failure.hpp"
#include "form/failure_report.hpp"
#include "qt/drawn_frame.hpp"
#include "qt/window_icon.hpp"
#include "x11/xcb_helpers.hpp"

namespace quill::qt {

namespace {

constexpr const char* kTitle = "Quillantern";

QWidget* Create(const ControlPlacement& placement, QWidget* parent) {
    const QString text = placement.text ? QString::fromWCharArray(placement.text) : QString();
    switch (placement.kind) {
        case ControlKind::Button: {
            auto* button = new FormButton(text, parent);
            // Enter presses the focused button, as Space does; neither button
            // is the window's default.
            button->setAutoDefault(true);
            return button;
        }
        case ControlKind::TextBox: {
            auto* box = new QLineEdit(parent);
            box->setReadOnly(true);
            QPalette palette = box->palette();
            palette.setColor(QPalette::Base, palette.color(QPalette::Button));
            box->setPalette(palette);
            return box;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case ControlKind::Swatch:
            return new SwatchWidget(parent);
        case ControlKind::Line: {
            auto* line = new QFrame(parent);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Plain);
            line->setLineWidth(1);
            return line;
        }
    }
    return nullptr;
}

// The labels and buttons, most crowded first: the most characters for the
// width they have. Where a font does not fit, one of the first is likely
// to show it.
std::vector<std::size_t> MostCrowdedFirst() {
    const auto crowding = [](std::size_t i) {
        return static_cast<double>(std::wcslen(kControls[i].text)) / kControls[i].width;
    };
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (kControls[i].kind != ControlKind::Label && kControls[i].kind != ControlKind::Button) continue;
        // In place among the few before it; equals keep the table's order.
        auto at = order.end();
        while (at != order.begin() && crowding(*(at - 1)) < crowding(i)) --at;
        order.insert(at, i);
    }
    return order;
}

// What control needs for its text in the font it has now (labels and
// buttons; nothing for the others).
PixelSize Needed(const ControlPlacement& placement, const QWidget& control) {
    if (placement.kind != ControlKind::Label && placement.kind != ControlKind::Button) return {};
    const QSize room = TextRoom(control);
    return {room.width(), room.height()};
}

// Whether every label and button has room for its whole text at
// layout_dpi in the font it has now. Stops at the first that has not: a
// font's first shaped text costs the most to measure (its face's shaping
// tables), and a font far too wide is told by one short text's letters
// alone.
template <std::size_t N>
bool TextsFit(const std::array<QWidget*, N>& controls, int layout_dpi) {
    static const std::vector<std::size_t> order = MostCrowdedFirst();
    for (const std::size_t i : order) {
        const PixelRect r = ToPixels(kControls[i], layout_dpi);
        if (TextWidthAtLeast(*controls[i]) > r.width()) return false;  // however it is shaped
        if (!Fits(Needed(kControls[i], *controls[i]), r)) return false;
    }
    return true;
}

// Every label's and button's text measured once, in the font it has now,
// for the layout DPI search (form/layout.hpp).
template <std::size_t N>
std::array<PixelSize, N> MeasuredTexts(const std::array<QWidget*, N>& controls) {
    std::array<PixelSize, N> needed{};
    for (std::size_t i = 0; i < N; ++i) needed[i] = Needed(kControls[i], *controls[i]);
    return needed;
}

constexpr Qt::WindowStates kHeld = Qt::WindowMaximized | Qt::WindowFullScreen;

// What screen readers are told the window and its lines are: the window a
// frame named by its title (a plain widget would be a "filler"), the lines
// separators (not frames).
QAccessibleInterface* AccessibleRoles(const QString&, QObject* object) {
    if (dynamic_cast<FormWidget*>(object)) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    if (auto* line = dynamic_cast<QFrame*>(object); line && line->frameShape() == QFrame::HLine) {
        return new QAccessibleWidget(line, QAccessible::Separator);
    }
    return nullptr;
}

bool OnWayland() { return QGuiApplication::platformName().startsWith("wayland"); }

// X11 window managers learn from the Motif hints which functions a window
// allows. Qt always adds resizing to them; a fixed dialog frame allows moving
// and closing only (x11/xcb_helpers.hpp). Asked for now, set once the native
// window exists (event()). If the server does not answer, the frame Qt asked
// for stays.
std::unique_ptr<x11::FixedFrameRequest> FixedFrameRequest() {
    if (QGuiApplication::platformName() != "xcb") return nullptr;
    auto* native = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!native || !native->connection()) return nullptr;
    return std::make_unique<x11::FixedFrameRequest>(native->connection());
}

}  // namespace

QSize TextRoom(const QWidget& control) {
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        // QLabel's own hint lays its text out three times (for its minimum
        // size too); for a plain one-line label it comes to this one layout.
        label->ensurePolished();
        return label->fontMetrics().boundingRect(QRect(0, 0, 2000, 2000), Qt::AlignLeft, label->text()).size();
    }
    return control.sizeHint();
}

qreal TextWidthAtLeast(const QWidget& control) {
    const auto* label = qobject_cast<const QLabel*>(&control);
    if (!label || label->text().isEmpty()) return 0;
    label->ensurePolished();
    const QFontMetricsF metrics(label->font());
    qreal letters = 0;
    for (const QChar letter : label->text()) letters += metrics.horizontalAdvance(letter);
    const qreal em = QFontInfo(label->font()).pixelSize();
    return letters - kKerningPerPair * em * static_cast<qreal>(label->text().size() - 1);
}

FormWidget::FormWidget(Clipboard* clipboard) : form_area_(new QWidget(this)), cmDlg_(this) {
    static const bool roles_installed = (QAccessible::installFactory(AccessibleRoles), true);
    (void)roles_installed;
    setWindowTitle(kTitle);
    setWindowIcon(WindowIcon());
    // The form reads left to right in every language: its texts, read-outs
    // and layout stand as drawn. Qt's own dialogs (the colour dialog, the
    // report) are windows of their own and follow the user's language.
    setLayoutDirection(Qt::LeftToRight);
    setObjectName("frmQuillantern");
    // A fixed dialog frame: title and close box, no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    // Where a Wayland compositor draws no frames, the window draws a fixed
    // dialog's frame itself, instead of Qt's title bar with maximise and
    // minimise. (Qt drops the frameless hint beside the title bar's hints.)
    if (OnWayland() && !CompositorDrawsFrames()) {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        frame_ = new DrawnFrame(*this);
    }
    const QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
    const int dpi = display ? qRound(display->logicalDotsPerInch()) : 96;
    fixed_frame_ = FixedFrameRequest();
    CreateControls();
    FitLayoutToFont(dpi);
    // Centred on the screen (the client area; a frame, if any, grows around it).
    if (display) {
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), display->availableGeometry()));
    }

    txtColor_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtColor)));
    txtRed_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtRed)));
    txtGreen_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtGreen)));
    txtBlue_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtBlue)));
    txtHexa_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtHexa)));
    form_.emplace(frmQuillantern::Controls{*static_cast<SwatchWidget*>(Control(kIdSh)), cmDlg_, *txtColor_, *txtRed_,
                                           *txtGreen_, *txtBlue_, *txtHexa_,
                                           clipboard ? *clipboard : system_clipboard_});
    connect(static_cast<QPushButton*>(Control(kIdCommand1)), &QPushButton::clicked, this,
            [this] { RunCommand([this] { form_->Command1_Click(); }); });
    connect(static_cast<QPushButton*>(Control(kIdCmdCopy)), &QPushButton::clicked, this,
            [this] { RunCommand([this] { form_->cmdCopy_Click(); }); });
    Control(kIdCommand1)->setFocus();
}

FormWidget::~FormWidget() = default;

void FormWidget::CreateControls() {
    // In table order: focusable controls in tab order, each label before
    // its box, the shapes last; Qt's focus chain follows creation.
    for (std::size_t i = 0; i < kControls.size(); ++i) controls_[i] = Create(kControls[i], form_area_);
    // A box is named after its label, for screen readers too.
    for (const LabelledBox& pair : kLabelledBoxes) {
        static_cast<QLabel*>(Control(pair.label))->setBuddy(Control(pair.box));
    }
    // The hex row's box lies above its label where the two overlap.
    Control(kIdTxtHexa)->raise();
}

QWidget* FormWidget::Control(ControlId id) const { return controls_[ControlIndex(id)]; }

void FormWidget::LayOut(int layout_dpi) {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const PixelRect r = ToPixels(kControls[i], layout_dpi);
        controls_[i]->setGeometry(r.left, r.top, r.width(), r.height());
    }
    const PixelRect client = ClientPixels(layout_dpi);
    client_size_ = QSize(client.width(), client.height());
    const QMargins frame = FrameMargins();
    window_size_ = client_size_.grownBy(frame);
    form_area_->setGeometry(QRect(QPoint(frame.left(), frame.top()), client_size_));
    if (OnWayland()) {
        // A compositor may maximise or fullscreen any window (weston does,
        // by its key bindings, whatever the size limits) and then requires
        // the configured size, which Qt 6.4 would clamp to a maximum size
        // and die of a protocol error. So Qt's own maximum stays open, the
        // compositor is told the fixed size directly, and the window keeps
        // its own size itself (resizeEvent).
        setMinimumSize(window_size_);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(window_size_);
        wayland_size_.SetContentSize(window_size_);
    } else {
        setFixedSize(window_size_);
    }
}

void FormWidget::FitLayoutToFont(int dpi) {
    // Mostly the desktop's font fits as the controls inherit it: no font of
    // the window's own to look up.
    if (TextsFit(controls_, dpi)) {
        LayOut(dpi);
        return;
    }
    QFont font = QGuiApplication::font();
    font.setStretch(QFont::Condensed);
    setFont(font);
    if (TextsFit(controls_, dpi)) {
        LayOut(dpi);
        return;
    }
    // The user's own face and size, in a layout as large as they need (at
    // most four times the screen's DPI).
    font.setStretch(QFont::Unstretched);
    setFont(font);
    LayOut(LayoutDpiForTexts(MeasuredTexts(controls_), dpi));
}

bool FormWidget::event(QEvent* event) {
    // The native window now exists and is not mapped yet: the window
    // manager reads the hints when it is.
    if (event->type() == QEvent::WinIdChange && fixed_frame_ && internalWinId()) {
        fixed_frame_->ApplyTo(static_cast<xcb_window_t>(internalWinId()));
    }
    return QWidget::event(event);
}

void FormWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) FollowWindowState();
}

QMargins FormWidget::FrameMargins() const { return frame_ ? frame_->Margins() : QMargins(); }

void FormWidget::FollowWindowState() {
    if (frame_) frame_->Follow();
    CentreForm();
    if (!(windowState() & kHeld)) {
        KeepOwnSize();
        return;
    }
    // The window never asks to be maximised or full screen: a window
    // manager or compositor that makes it so (a key, a menu, a script) is
    // asked for the normal state back, which restores the fixed size.
    // One that insists (forces the state again at once, a few times over)
    // keeps it: the form then stays centred in that size.
    const auto now = std::chrono::steady_clock::now();
    if (now - last_held_ > kInsistence) state_requests_ = 0;
    last_held_ = now;
    if (++state_requests_ > kStateRequests) return;
    QTimer::singleShot(0, this, [this] {
        // On Wayland the window keeps the configured size until the
        // compositor answers (weston ends a client whose maximised frame
        // has another size); Qt's own request would shrink it at once.
        if (OnWayland()) {
            wayland_size_.LeaveStates(windowState() & kHeld);
        } else {
            setWindowState(windowState() & ~kHeld);
        }
    });
}

void FormWidget::KeepOwnSize() {
    // On Wayland the window takes the size it is configured with, and a
    // client may always return to its own outside those states (an edge
    // dragged, a state left). X11 window managers restore it themselves.
    if (!OnWayland() || size() == window_size_) return;
    QTimer::singleShot(0, this, [this] {
        if (!(windowState() & kHeld) && size() != window_size_) resize(window_size_);
    });
}

void FormWidget::CentreForm() {
    const QRect inside = rect().marginsRemoved(FrameMargins());
    form_area_->move(inside.left() + std::max(0, (inside.width() - client_size_.width()) / 2),
                     inside.top() + std::max(0, (inside.height() - client_size_.height()) / 2));
}

void FormWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (frame_) frame_->Follow();
    CentreForm();
    if (!(windowState() & kHeld)) KeepOwnSize();
}

template <typename Command>
void FormWidget::RunCommand(Command&& command) noexcept {
    try {
        command();
    } catch (...) {
        const Failure failure = CurrentFailure();
        ReportAndEnd(failure.number(), failure.description());
    }
}

void FormWidget::ReportAndEnd(std::uint32_t number, const std::string& description) noexcept {
    if (ending_) return;  // one report is enough
    ending_ = true;
    exit_code_ = kFailureExitCode;
    try {
        QMessageBox report(QMessageBox::Critical, kTitle,
                           QString::fromStdString(FailureReportText(number, description)), QMessageBox::Ok, this);
        report.exec();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the program ends either way
    }
    QCoreApplication::exit(exit_code_);
    close();
}

}  // namespace quill::qt
