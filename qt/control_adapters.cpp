#include "qt/control_adapters.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "base/failure.hpp"
#include "colour/colour.hpp"

namespace quill::qt {

void FormButton::paintEvent(QPaintEvent*) {
    // As QPushButton paints itself, with the painter's direction fixed.
    QStylePainter painter(this);
    painter.setLayoutDirection(Qt::LeftToRight);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButton, option);
}

SwatchWidget::SwatchWidget(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void SwatchWidget::SetFillColor(std::int32_t color) {
    std::int32_t red = 0, green = 0, blue = 0;
    const std::int32_t low24 = color & 0x00FFFFFF;  // as the Windows swatch: the low 24 bits
    Color_to_RGB(low24, red, green, blue);
    fill_ = QColor(red, green, blue);
    repaint();
}

void SwatchWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::WindowText));
    painter.fillRect(rect().adjusted(1, 1, -1, -1), fill_.isValid() ? fill_ : palette().color(QPalette::Button));
}

void QtColorDialog::ShowColor() {
    std::int32_t red = 0, green = 0, blue = 0;
    Color_to_RGB(color_, red, green, blue);
    if (!dialog_) dialog_ = new QColorDialog(owner_);
    dialog_->setCurrentColor(QColor(red, green, blue));
    if (dialog_->exec() == QDialog::Accepted) {
        const QColor chosen = dialog_->selectedColor();
        color_ = PackColor(static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
                           static_cast<std::uint8_t>(chosen.blue()));
    }
}

void QtClipboard::SetText(const std::wstring& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) throw Failure(kErrorClipboard, "The system clipboard is not available");
    const QString wanted = QString::fromStdWString(text);
    clipboard->setText(wanted, QClipboard::Clipboard);
    // Qt reports no failure of its own: the clipboard either is ours now or
    // must already read back the text, or the copy did not happen.
    if (!clipboard->ownsClipboard() && clipboard->text(QClipboard::Clipboard) != wanted) {
        throw Failure(kErrorClipboard, "The clipboard did not take the text");
    }
}

}  // namespace quill::qt
