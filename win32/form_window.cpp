#include "win32/form_window.hpp"

#include <cwchar>

#include "form/failure_report.hpp"
#include "win32/dpi.hpp"
#include "win32/system_error.hpp"

namespace quill::win32 {

namespace {

HINSTANCE ThisModule() { return GetModuleHandleW(nullptr); }

}  // namespace

int FormWindow::Run(HINSTANCE instance, int show_command) {
    FormWindow self;
    try {
        RegisterClass(instance);
        SwatchWindow::RegisterClass(instance);
        if (!CreateWindowExW(kExStyle, kClassName, kTitle, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                             instance, &self)) {
            if (self.create_failure_) throw *self.create_failure_;
            RaiseLastError("Creating the window");
        }
    } catch (const Failure& failure) {
        self.ReportAndEnd(failure.number(), failure.description());
        return kFailureExitCode;
    }
    ShowWindow(self.window_, show_command);
    UpdateWindow(self.window_);
    SetFocus(self.Control(kIdCommand1));

    MSG message{};
    BOOL got = FALSE;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) return kFailureExitCode;
        // The dialog manager gives the plain window Tab, arrow and button keys.
        if (self.window_ && IsDialogMessageW(self.window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void FormWindow::RegisterClass(HINSTANCE instance) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &FormWindow::Procedure;
    window_class.hInstance = instance;
    window_class.hIcon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    window_class.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kClassName;
    if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        RaiseLastError("Registering the window");
    }
}

LRESULT CALLBACK FormWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    FormWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(window, message, wparam, lparam);

    // No exception may unwind through user32: every failure that leaves a
    // handler ends here and becomes the top-level report.
    try {
        return self->HandleMessage(message, wparam, lparam);
    } catch (...) {
        const Failure failure = CurrentFailure();
        self->ReportAndEnd(failure.number(), failure.description());
    }
    return 0;
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            // A window that cannot be built is not shown half-made: creation
            // fails and Run reports why.
            try {
                OnCreate();
            } catch (const Failure& failure) {
                create_failure_.emplace(failure);
                return -1;
            }
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wparam), HIWORD(wparam));
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
            return OnCtlColor(reinterpret_cast<HDC>(wparam));
        case DM_GETDEFID: {
            // The window has no default button, but as in any dialog Enter
            // presses the push button that has the focus.
            HWND focus = GetFocus();
            if (focus && (focus == Control(kIdCommand1) || focus == Control(kIdCmdCopy))) {
                return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
            }
            return 0;
        }
        case WM_SYSCOMMAND:
            // A fixed-size window: the system menu and the keyboard offer no
            // way to resize, minimise or maximise it.
            switch (wparam & 0xFFF0) {
                case SC_SIZE:
                case SC_MINIMIZE:
                case SC_MAXIMIZE:
                    return 0;
                default:
                    return DefWindowProcW(window_, message, wparam, lparam);
            }
        case WM_ACTIVATE:
            OnActivate(LOWORD(wparam) != WA_INACTIVE);
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
            return 0;
        case WM_DESTROY:
            form_.reset();
            PostQuitMessage(exit_code_);
            window_ = nullptr;
            return 0;
        default:
            return DefWindowProcW(window_, message, wparam, lparam);
    }
}

void FormWindow::OnCreate() {
    CreateControls();
    const UINT dpi = DpiForWindow(window_);
    ApplyDpi(dpi);
    PlaceWithClientSize(dpi, nullptr);

    sh_.emplace(Control(kIdSh));
    cmDlg_ = std::make_unique<ComDlgColorDialog>(window_);
    txtColor_.emplace(Control(kIdTxtColor), "txtColor");
    txtRed_.emplace(Control(kIdTxtRed), "txtRed");
    txtGreen_.emplace(Control(kIdTxtGreen), "txtGreen");
    txtBlue_.emplace(Control(kIdTxtBlue), "txtBlue");
    txtHexa_.emplace(Control(kIdTxtHexa), "txtHexa");
    clipboard_.emplace(window_);
    for (std::size_t i = 0; i < kLabelledBoxes.size(); ++i) {
        accessible_names_[i].Attach(Control(kLabelledBoxes[i].box), Placement(kLabelledBoxes[i].label).text);
    }
    form_.emplace(
        frmQuillantern::Controls{*sh_, *cmDlg_, *txtColor_, *txtRed_, *txtGreen_, *txtBlue_, *txtHexa_, *clipboard_});
}

void FormWindow::CreateControls() {
    const HINSTANCE instance = ThisModule();
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlPlacement& placement = kControls[i];
        const wchar_t* window_class = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        DWORD ex_style = 0;
        switch (placement.kind) {
            case ControlKind::Button:
                window_class = L"BUTTON";
                style |= WS_TABSTOP | BS_PUSHBUTTON;
                break;
            case ControlKind::TextBox:
                window_class = L"EDIT";
                style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | ES_READONLY;
                ex_style |= WS_EX_CLIENTEDGE;
                break;
            case ControlKind::Label:
                style |= SS_LEFT | SS_NOPREFIX;
                break;
            case ControlKind::Swatch:
                window_class = SwatchWindow::kClassName;
                break;
            case ControlKind::Line:
                style |= SS_BLACKRECT;
                break;
        }
        // Placed properly by ApplyDpi once the window's DPI is known.
        controls_[i] =
            CreateWindowExW(ex_style, window_class, placement.text ? placement.text : L"", style, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(placement.id)), instance, nullptr);
        if (!controls_[i]) RaiseLastError("Creating the window's controls");
    }
}

HWND FormWindow::Control(ControlId id) const { return controls_[ControlIndex(id)]; }

std::optional<FormWindow::TextNeeds> FormWindow::MeasureTexts(HFONT font) const {
    HDC dc = GetDC(window_);
    if (!dc || !font) {
        if (dc) ReleaseDC(window_, dc);
        return std::nullopt;
    }
    const HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    // A push button draws its text inside its 3-D edge and the focus
    // rectangle, with two pixels to spare on each side.
    const int button_margin = 2 * (GetSystemMetrics(SM_CXEDGE) + 3);
    TextNeeds needed{};
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlPlacement& placement = kControls[i];
        if (placement.kind != ControlKind::Label && placement.kind != ControlKind::Button) continue;
        SIZE text{};
        GetTextExtentPoint32W(dc, placement.text, static_cast<int>(wcslen(placement.text)), &text);
        const int margin = placement.kind == ControlKind::Button ? button_margin : 0;
        needed[i] = PixelSize{text.cx + margin, metrics.tmHeight + margin};
    }
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    return needed;
}

void FormWindow::ApplyDpi(UINT dpi) {
    UniqueFont font = CreateDialogFont(dpi);
    const std::optional<TextNeeds> needed = MeasureTexts(font.get());
    layout_dpi_ = needed ? static_cast<UINT>(LayoutDpiForTexts(*needed, static_cast<int>(dpi))) : dpi;
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const PixelRect r = ToPixels(kControls[i], static_cast<int>(layout_dpi_));
        SetWindowPos(controls_[i], nullptr, r.left, r.top, r.width(), r.height(),
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        if (font.get()) SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
    // The children use the new font now; the old one can go.
    if (font.get()) font_ = std::move(font);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void FormWindow::PlaceWithClientSize(UINT dpi, const POINT* top_left) {
    const PixelRect client = ClientPixels(static_cast<int>(layout_dpi_));
    RECT frame{0, 0, client.width(), client.height()};
    AdjustWindowRectForDpi(frame, kStyle, kExStyle, dpi);
    SIZE size{frame.right - frame.left, frame.bottom - frame.top};
    SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame the system really drew may differ from the computed one (a
    // system without per-monitor frames): correct by what is measured.
    RECT actual{};
    if (GetClientRect(window_, &actual) && (actual.right != client.width() || actual.bottom != client.height())) {
        size.cx += client.width() - actual.right;
        size.cy += client.height() - actual.bottom;
        SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    POINT position{};
    if (top_left) {
        position = *top_left;
    } else {
        // Centred on the (primary) screen.
        RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            screen = monitor.rcMonitor;
        }
        position.x = screen.left + (screen.right - screen.left - size.cx) / 2;
        position.y = screen.top + (screen.bottom - screen.top - size.cy) / 2;
    }
    SetWindowPos(window_, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    ApplyDpi(dpi);
    // The client area stays exactly 4800 x 2760 twips at the new DPI, placed
    // where the system suggests.
    const POINT top_left{suggested.left, suggested.top};
    PlaceWithClientSize(dpi, &top_left);
}

void FormWindow::OnCommand(int id, int notification) {
    if (notification != BN_CLICKED || !form_) return;
    if (id == kIdCommand1) {
        form_->Command1_Click();
    } else if (id == kIdCmdCopy) {
        form_->cmdCopy_Click();
    }
    // IDOK and IDCANCEL, which the dialog manager makes of Enter and Escape,
    // belong to no control and do nothing.
}

LRESULT FormWindow::OnCtlColor(HDC dc) {
    // Labels and the read-only text boxes sit on the button-face colour.
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void FormWindow::OnActivate(bool active) {
    // As a dialog does: leaving the window remembers the focused control,
    // coming back restores it.
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) focus_ = focus;
    } else if (focus_ && IsWindow(focus_)) {
        SetFocus(focus_);
    }
}

void FormWindow::ReportAndEnd(std::uint32_t number, const std::string& description) {
    if (ending_) return;  // one report is enough
    ending_ = true;
    exit_code_ = kFailureExitCode;
    const std::wstring text = ToWide(FailureReportText(number, description));
    MessageBoxW(window_, text.c_str(), kTitle, MB_OK | MB_ICONERROR);
    if (window_) {
        DestroyWindow(window_);
    } else {
        PostQuitMessage(exit_code_);
    }
}

}  // namespace quill::win32
