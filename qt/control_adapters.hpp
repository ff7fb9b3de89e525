// The form's controls over Qt widgets and services.
#pragma once

#include <QColor>
#include <QColorDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <cstdint>
#include <string>

#include "form/controls.hpp"

namespace quill::qt {

// A read-only single-line box.
class LineEditTextBox final : public TextBox {
public:
    explicit LineEditTextBox(QLineEdit& edit) : edit_(edit) {}
    std::wstring Text() const override { return edit_.text().toStdWString(); }
    void SetText(const std::wstring& text) override { edit_.setText(QString::fromStdWString(text)); }

private:
    QLineEdit& edit_;
};

// A command button whose text reads left to right in every language. Qt
// draws a button's text in the application's direction, which a right-to-left
// translation sets: "Selecteaza culoarea.." would show as "..Selecteaza
// culoarea" (the trailing dots move to the front).
class FormButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The swatch: an opaque rectangle with a thin border, filled with the colour
// it was last given (the button-face colour until then).
class SwatchWidget final : public QWidget, public Swatch {
public:
    explicit SwatchWidget(QWidget* parent);
    void SetFillColor(std::int32_t color) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;  // invalid until the first fill
};

// cmDlg over QColorDialog, modal to the window that owns it. It keeps its
// colour between uses; only a confirmed dialog changes it. The dialog itself
// is built when it is first shown, not at start-up.
class QtColorDialog final : public ColorDialog {
public:
    explicit QtColorDialog(QWidget* owner) : owner_(owner) {}
    void ShowColor() override;
    std::int32_t Color() const override { return color_; }

private:
    QWidget* owner_;
    QColorDialog* dialog_ = nullptr;  // a child of owner_ once shown
    std::int32_t color_ = 0;          // black until the first confirmed choice
};

// The system clipboard (on X11 the CLIPBOARD selection), plain text.
class QtClipboard final : public Clipboard {
public:
    void SetText(const std::wstring& text) override;
};

}  // namespace quill::qt
