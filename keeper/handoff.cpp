#include "keeper/handoff.hpp"

#include <cstdio>

namespace quill::keeper {

std::optional<std::string> EncodeHandOff(const HandOff& hand_off) {
    if (hand_off.text.size() > kMaxText || hand_off.display.size() > kMaxDisplayName ||
        hand_off.display.find('\n') != std::string::npos) {
        return std::nullopt;
    }
    char head[16];
    std::snprintf(head, sizeof head, "%c%08x\n", static_cast<char>(hand_off.kind), hand_off.owner);
    std::string message = head;
    message.append(hand_off.display).append("\n").append(hand_off.text);
    return message;
}

std::optional<HandOff> DecodeHandOff(std::string_view message) {
    constexpr std::size_t kHead = 10;  // kind, eight hex digits, line break
    if (message.size() < kHead + 1 || message[kHead - 1] != '\n') return std::nullopt;
    HandOff hand_off;
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
    hand_off.display = message.substr(kHead, display_end - kHead);
    hand_off.text = message.substr(display_end + 1);
    if (hand_off.text.size() > kMaxText) return std::nullopt;
    return hand_off;
}

std::optional<std::string> Latin1FromUtf8(std::string_view utf8) {
    std::string latin1;
    latin1.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            latin1 += static_cast<char>(byte);
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size() &&
                   (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            latin1 += static_cast<char>(((byte & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            return std::nullopt;  // beyond U+00FF, or not UTF-8
        }
    }
    return latin1;
}

}  // namespace quill::keeper
