// The main form's behaviour: the two commands, over abstract controls.
// Toolkit-free, so that every step and every failure path runs in native
// tests; each front-end wires its real controls in (win32/form_window.cpp,
// qt/form_widget.cpp).
#pragma once

#include "form/controls.hpp"

namespace quill {

class frmQuillantern {
public:
    struct Controls {
        Swatch& sh;
        ColorDialog& cmDlg;
        TextBox& txtColor;
        TextBox& txtRed;
        TextBox& txtGreen;
        TextBox& txtBlue;
        TextBox& txtHexa;
        Clipboard& clipboard;
    };

    explicit frmQuillantern(const Controls& controls) : c_(controls) {}

    // "Selecteaza culoarea..": lets the user pick a colour and shows it in the
    // swatch and all read-outs. Each step that fails is skipped silently and
    // the next one runs; this command never raises.
    void Command1_Click() noexcept;

    // "Copiaza in clipboard": puts the text of txtColor on the clipboard.
    // Handles nothing: a failure leaves the command for the top-level report.
    void cmdCopy_Click();

private:
    Controls c_;
};

}  // namespace quill
