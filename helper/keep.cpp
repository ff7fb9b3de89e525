#include "helper/keep.hpp"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quill::helper {

namespace {

using keeper::kHandOffFd;

// The message, then the text in ISO 8859-1 right after it: static, and in
// one place, so that a short text touches one page of it.
char message[keeper::kMaxMessage + 1 + keeper::kMaxText];

bool StartedByTheProgram(int argc) {
    struct stat status {};
    return argc == 1 && ::fstat(kHandOffFd, &status) == 0 && S_ISSOCK(status.st_mode);
}

// The whole message, or nothing when it cannot be read or is too long: a
// byte more than the longest is read, and refused.
std::optional<std::string_view> ReadMessage() {
    std::size_t size = 0;
    for (;;) {
        const ssize_t n = ::read(kHandOffFd, message + size, keeper::kMaxMessage + 1 - size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return std::string_view(message, size);
        size += static_cast<std::size_t>(n);
        if (size > keeper::kMaxMessage) return std::nullopt;
    }
}

void Say(const char* text) {
    const std::size_t size = std::strlen(text);
    for (std::size_t written = 0; written < size;) {
        const ssize_t n = ::write(STDERR_FILENO, text + written, size - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        written += static_cast<std::size_t>(n);
    }
}

}  // namespace

bool ReadHandOff(int argc, keeper::Kind kind, keeper::Keeping& keeping) {
    if (!StartedByTheProgram(argc)) {
        Say(keeper::KeeperName(kind));
        Say(": this helper keeps a value that quillantern copied; it is started by quillantern only\n");
        return false;
    }
    // Already ignored by the program that started it; a lost connection or
    // a vanished reader is an error the keeper handles, never its end.
    ::signal(SIGPIPE, SIG_IGN);
    const std::optional<std::string_view> read = ReadMessage();
    const std::optional<keeper::HandOffView> hand_off = read ? keeper::DecodeHandOff(*read) : std::nullopt;
    if (!hand_off || hand_off->kind != kind) {
        Tell(keeper::Report::Failed);
        return false;
    }
    // The line break after the display's name becomes its terminator.
    char* display = message + (hand_off->display.data() - message);
    display[hand_off->display.size()] = '\0';
    keeping.display = hand_off->display.empty() ? nullptr : display;
    keeping.owner = hand_off->owner;
    keeping.text = hand_off->text;
    keeping.latin1 = keeper::Latin1FromUtf8(hand_off->text, message + read->size());
    return true;
}

void Tell(keeper::Report report) {
    const char byte = static_cast<char>(report);
    while (::send(kHandOffFd, &byte, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
    ::close(kHandOffFd);
}

}  // namespace quill::helper
