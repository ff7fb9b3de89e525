// frmQuillantern on Qt Widgets: the fixed-size window, its controls laid out
// from the twips table, the two commands wired to the buttons, and the
// top-level error report.
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "form/form.hpp"
#include "form/layout.hpp"
#include "qt/control_adapters.hpp"

namespace quill::qt {

class FormWidget final : public QWidget {
public:
    static constexpr int kFailureExitCode = 1;

    // clipboard: the one to copy to; the system clipboard when null.
    explicit FormWidget(Clipboard* clipboard = nullptr);

    QWidget* Control(ControlId id) const;
    // 0 while running and after a normal close; kFailureExitCode once a
    // failure was reported.
    int ExitCode() const { return exit_code_; }

private:
    // Sets the largest font, from the desktop's default down, in which every
    // label and button shows its whole text in its twips rectangle.
    void ApplyFittingFont();
    void CreateControls(int dpi);
    // Runs a command at the edge of Qt's event loop: a failure that leaves
    // it is reported and ends the program; nothing unwinds into Qt.
    template <typename Command>
    void RunCommand(Command&& command) noexcept;
    void ReportAndEnd(std::uint32_t number, const std::string& description) noexcept;

    std::array<QWidget*, kControls.size()> controls_{};
    QtColorDialog cmDlg_;
    QtClipboard system_clipboard_;
    std::optional<LineEditTextBox> txtColor_, txtRed_, txtGreen_, txtBlue_, txtHexa_;
    std::optional<frmQuillantern> form_;
    int exit_code_ = 0;
    bool ending_ = false;
};

}  // namespace quill::qt
