#include "qt/form_widget.hpp"

#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "colour/failure.hpp"
#include "form/failure_report.hpp"

namespace quill::qt {

namespace {

constexpr const char* kTitle = "Quillantern";

QWidget* Create(const ControlPlacement& placement, QWidget* parent) {
    const QString text = placement.text ? QString::fromWCharArray(placement.text) : QString();
    switch (placement.kind) {
        case ControlKind::Button: {
            auto* button = new QPushButton(text, parent);
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

// Whether every label and button shows its whole text in its rectangle.
bool TextsFit(const QWidget& window) {
    for (const QObject* child : window.children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (!qobject_cast<const QLabel*>(widget) && !qobject_cast<const QPushButton*>(widget)) continue;
        const QSize needed = widget->sizeHint();
        if (needed.width() > widget->width() || needed.height() > widget->height()) return false;
    }
    return true;
}

}  // namespace

FormWidget::FormWidget(Clipboard* clipboard) : cmDlg_(this) {
    setWindowTitle(kTitle);
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) icon.addFile(QString(":/icons/quillantern-%1.png").arg(size));
    setWindowIcon(icon);
    setObjectName("frmQuillantern");
    // A fixed dialog frame: title and close box, no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    const QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
    const int dpi = display ? qRound(display->logicalDotsPerInch()) : 96;
    const PixelRect client = ClientPixels(dpi);
    setFixedSize(client.width(), client.height());
    CreateControls(dpi);
    ApplyFittingFont();
    // Centred on the screen (the client area; a frame, if any, grows around it).
    if (display) {
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), display->availableGeometry()));
    }

    txtColor_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtColor)));
    txtRed_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtRed)));
    txtGreen_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtGreen)));
    txtBlue_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtBlue)));
    txtHexa_.emplace(*static_cast<QLineEdit*>(Control(kIdTxtHexa)));
    form_.emplace(frmQuillantern::Controls{*static_cast<SwatchWidget*>(Control(kIdSh)), cmDlg_, *txtColor_,
                                           *txtRed_, *txtGreen_, *txtBlue_, *txtHexa_,
                                           clipboard ? *clipboard : system_clipboard_});
    connect(static_cast<QPushButton*>(Control(kIdCommand1)), &QPushButton::clicked, this,
            [this] { RunCommand([this] { form_->Command1_Click(); }); });
    connect(static_cast<QPushButton*>(Control(kIdCmdCopy)), &QPushButton::clicked, this,
            [this] { RunCommand([this] { form_->cmdCopy_Click(); }); });
    Control(kIdCommand1)->setFocus();
}

void FormWidget::CreateControls(int dpi) {
    // In table order: focusable controls in tab order, each label before
    // its box, the shapes last; Qt's focus chain follows creation.
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlPlacement& placement = kControls[i];
        QWidget* control = Create(placement, this);
        const PixelRect r = ToPixels(placement, dpi);
        control->setGeometry(r.left, r.top, r.width(), r.height());
        controls_[i] = control;
    }
    // A box is named after its label, for screen readers too.
    for (const LabelledBox& pair : kLabelledBoxes) {
        static_cast<QLabel*>(Control(pair.label))->setBuddy(Control(pair.box));
    }
    // The hex row's box lies above its label where the two overlap.
    Control(kIdTxtHexa)->raise();
}

QWidget* FormWidget::Control(ControlId id) const { return controls_[ControlIndex(id)]; }

void FormWidget::ApplyFittingFont() {
    QFont font = QGuiApplication::font();
    const qreal largest = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
    // Half a point at a time; at each size the plain face first, then its
    // condensed variant where the desktop has one. The smallest tried stays
    // if none fits.
    for (qreal size = largest; size >= 6.0; size -= 0.5) {
        for (const int stretch : {int(QFont::Unstretched), int(QFont::Condensed)}) {
            font.setPointSizeF(size);
            font.setStretch(stretch);
            setFont(font);
            if (TextsFit(*this)) return;
        }
    }
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
