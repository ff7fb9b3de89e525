// The keeper's side of the hand-off: no allocation, nothing of the C++
// runtime, so that a keeper serving a short text carries none of it.
#include "keeper/handoff.hpp"

namespace quill::keeper {

std::optional<HandOffView> DecodeHandOff(std::string_view message) {
    constexpr std::size_t kHead = 10;  // kind, eight hex digits, line break
    if (message.size() < kHead + 1 || message[kHead - 1] != '\n') return std::nullopt;
    HandOffView hand_off;
    if (message[0] == static_cast<char>(Kind::X11)) {
        hand_off.kind = Kind::X11;
    } else if (message[0] == static_cast<char>(Kind::Wayland)) {
        hand_off.kind = Kind::Wayland;
    } else {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < kHead - 1; ++i) {
        const char c = message[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return std::nullopt;
        hand_off.owner = hand_off.owner << 4 | static_cast<std::uint32_t>(digit);
    }
    const std::size_t display_end = message.find('\n', kHead);
    if (display_end == std::string_view::npos || display_end - kHead > kMaxDisplayName) return std::nullopt;
    // Views made directly, not by substr(): its range check would bring in
    // the C++ runtime's exceptions for a case that cannot arise here.
    hand_off.display = std::string_view(message.data() + kHead, display_end - kHead);
    hand_off.text = std::string_view(message.data() + display_end + 1, message.size() - display_end - 1);
    if (hand_off.text.size() > kMaxText) return std::nullopt;
    return hand_off;
}

std::optional<std::string_view> Latin1FromUtf8(std::string_view utf8, char* latin1) {
    std::size_t size = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            latin1[size++] = static_cast<char>(byte);
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size() &&
                   (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            latin1[size++] = static_cast<char>(((byte & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            return std::nullopt;  // beyond U+00FF, or not UTF-8
        }
    }
    return std::string_view(latin1, size);
}

}  // namespace quill::keeper
