// What the form needs from its controls, as small interfaces. The Win32
// window implements them over real child windows, the Qt window over its
// widgets (each front-end's control_adapters.*); tests implement them with
// fakes that can fail at any chosen call. Each operation raises a Failure
// when it cannot do its job.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

class TextBox {
public:
    virtual ~TextBox() = default;
    virtual std::wstring Text() const = 0;
    virtual void SetText(const std::wstring& text) = 0;
};

// The colour swatch: an opaque filled rectangle.
class Swatch {
public:
    virtual ~Swatch() = default;
    virtual void SetFillColor(std::int32_t color) = 0;  // packed 0x00BBGGRR
};

// The colour dialog component. It keeps its colour between uses.
class ColorDialog {
public:
    virtual ~ColorDialog() = default;
    virtual void ShowColor() = 0;  // modal; a cancelled dialog is not a failure
    virtual std::int32_t Color() const = 0;
};

// The system clipboard, reduced to the one operation the program uses.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void SetText(const std::wstring& text) = 0;
};

}  // namespace quill
