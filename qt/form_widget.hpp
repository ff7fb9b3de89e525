// frmQuillantern on Qt Widgets: the fixed-size window, its controls laid out
// from the twips table, the two commands wired to the buttons, and the
// top-level error report.
#pragma once

#include <QWidget>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "form/form.hpp"
#include "form/layout.hpp"
#include "qt/control_adapters.hpp"
#include "qt/wayland_size.hpp"

namespace quill::x11 {
class FixedFrameRequest;
}  // namespace quill::x11

namespace quill::qt {

class DrawnFrame;

// The room a label or button needs to show its whole text in its font now:
// its size hint, a label's measured in one layout of its text.
QSize TextRoom(const QWidget& control);

// How much of an em kerning and ligatures may take back between two
// letters, at most (real fonts kern by a few hundredths).
constexpr qreal kKerningPerPair = 0.1;
// No wider than a label's text can be laid out in its font now, from its
// letters' own advances, without shaping it: what each letter takes alone,
// less kKerningPerPair of an em between two. 0 for other controls.
qreal TextWidthAtLeast(const QWidget& control);

class FormWidget final : public QWidget {
public:
    static constexpr int kFailureExitCode = 1;

    // clipboard: the one to copy to; the system clipboard when null.
    explicit FormWidget(Clipboard* clipboard = nullptr);
    ~FormWidget() override;

    QWidget* Control(ControlId id) const;
    // 0 while running and after a normal close; kFailureExitCode once a
    // failure was reported.
    int ExitCode() const { return exit_code_; }

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Keeps the form centred in whatever size the window is given.
    void resizeEvent(QResizeEvent* event) override;

private:
    // Places every control from the twips table at layout_dpi and sizes the
    // window to the client area there.
    void LayOut(int layout_dpi);
    // Keeps the desktop's font at the size the user chose and lays the form
    // out so that every label and button shows its whole text: at the
    // screen's DPI in that font as it is or, failing that, its condensed
    // variant; otherwise in its plain face, scaled up as a higher DPI would.
    // Each font's texts are measured once, and only until one does not
    // fit; the layouts are computed, not tried on the widgets.
    void FitLayoutToFont(int dpi);
    void CreateControls();
    // What the window's own frame takes around the form (none where the
    // window manager or compositor draws the frame).
    QMargins FrameMargins() const;
    // When a window manager maximises or fullscreens the window anyway.
    void FollowWindowState();
    // Back to the window's own size where nothing holds it at another.
    void KeepOwnSize();
    // The form in the middle of whatever room the window has.
    void CentreForm();
    // Runs a command at the edge of Qt's event loop: a failure that leaves
    // it is reported and ends the program; nothing unwinds into Qt.
    template <typename Command>
    void RunCommand(Command&& command) noexcept;
    void ReportAndEnd(std::uint32_t number, const std::string& description) noexcept;

    std::unique_ptr<x11::FixedFrameRequest> fixed_frame_;  // on X11
    QWidget* form_area_;                                   // the client area's controls, at their fixed size
    DrawnFrame* frame_ = nullptr;                          // where the window draws its own frame
    FixedWaylandSize wayland_size_{*this};
    QSize client_size_;
    QSize window_size_;  // the client area and the window's own frame
    // A window manager insists when it forces the state again within
    // kInsistence of the last time, kStateRequests times in a row.
    static constexpr int kStateRequests = 3;
    static constexpr std::chrono::seconds kInsistence{2};
    int state_requests_ = 0;
    std::chrono::steady_clock::time_point last_held_{};
    std::array<QWidget*, kControls.size()> controls_{};
    QtColorDialog cmDlg_;
    QtClipboard system_clipboard_;
    std::optional<LineEditTextBox> txtColor_, txtRed_, txtGreen_, txtBlue_, txtHexa_;
    std::optional<frmQuillantern> form_;
    int exit_code_ = 0;
    bool ending_ = false;
};

}  // namespace quill::qt
