#include "qt/clipboard_keeper.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

extern char** environ;

namespace quill::qt {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kHandOffFd = 3;
constexpr std::size_t kMaxHandOff = 64 * 1024;
// How long a clipboard manager has to answer the request to save, and then,
// if it did not answer, to take the clipboard once the keeper lets it go.
constexpr milliseconds kManagerAnswer{300};
constexpr milliseconds kManagerTakeOver{250};

// The keeper's one-byte reports to the program that started it.
constexpr char kReportKept = 'k';
constexpr char kReportTakenOver = 't';
constexpr char kReportFailed = 'f';

// ---- the program's side -------------------------------------------------

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Closes every descriptor from `first` up; async-signal-safe.
void CloseFrom(int first) {
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, first, ~0U, 0) == 0) return;
#endif
    for (int fd = first; fd < 65536; ++fd) ::close(fd);
}

}  // namespace

KeeperResult StartClipboardKeeper(std::string_view text, std::uint32_t owner, std::string_view display,
                                  std::chrono::milliseconds wait) {
    if (text.size() > kMaxHandOff) return {KeeperStart::Failed, "the text is too long to keep"};
    if (display.size() > 256 || display.find('\n') != std::string_view::npos) {
        return {KeeperStart::Failed, "the display's name cannot be handed over"};
    }
    char owner_hex[16];
    std::snprintf(owner_hex, sizeof owner_hex, "%08x\n", owner);
    std::string message = owner_hex;
    message.append(display).append("\n").append(text);

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        return {KeeperStart::Failed, std::string("socketpair: ") + std::strerror(errno)};
    }
    const int ours = pair[0], theirs = pair[1];

    // Everything the children need is made before fork: between fork and
    // exec only async-signal-safe calls run, as this process has threads.
    char path[] = "/proc/self/exe";
    char name[] = "quillantern-clipboard";
    char* argv[] = {name, nullptr};
    char** envp = environ;

    const pid_t middle = ::fork();
    if (middle < 0) {
        const int error = errno;
        ::close(ours);
        ::close(theirs);
        return {KeeperStart::Failed, std::string("fork: ") + std::strerror(error)};
    }
    if (middle == 0) {
        // A new session, and a grandchild that is not its leader: the keeper
        // has no controlling terminal and never gets one; whoever started the
        // program gets control back when the program ends.
        if (::setsid() < 0) ::_exit(127);
        const pid_t keeper = ::fork();
        if (keeper != 0) ::_exit(keeper < 0 ? 127 : 0);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction default_action {};
        default_action.sa_handler = SIG_DFL;
        for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
            ::sigaction(signal_number, &default_action, nullptr);
        }
        const int null = ::open("/dev/null", O_RDWR);
        if (null < 0) ::_exit(127);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::dup2(theirs, kHandOffFd) != kHandOffFd) ::_exit(127);  // dup2 clears close-on-exec
        CloseFrom(kHandOffFd + 1);
        if (::chdir("/") != 0) ::_exit(127);
        ::execve(path, argv, envp);
        ::_exit(127);
    }
    ::close(theirs);
    int middle_status = 0;
    while (::waitpid(middle, &middle_status, 0) < 0 && errno == EINTR) {
    }
    const bool forked = WIFEXITED(middle_status) && WEXITSTATUS(middle_status) == 0;
    const bool sent = forked && WriteAll(ours, message.data(), message.size()) && ::shutdown(ours, SHUT_WR) == 0;

    char report = 0;
    bool ended = false;  // the keeper closed its end without a report
    if (sent) {
        const auto deadline = Clock::now() + wait;
        for (;;) {
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            pollfd poll_fd{ours, POLLIN, 0};
            const int ready = ::poll(&poll_fd, 1, static_cast<int>(left > 0 ? left : 0));
            if (ready < 0 && errno == EINTR) continue;
            if (ready > 0 && ::read(ours, &report, 1) != 1) ended = true;
            break;
        }
    }
    ::close(ours);
    if (!forked) return {KeeperStart::Failed, "could not start the keeper process"};
    if (!sent) return {KeeperStart::Failed, "could not hand the text to the keeper process"};
    switch (report) {
        case kReportKept: return {KeeperStart::Kept, {}};
        case kReportTakenOver: return {KeeperStart::TakenOver, {}};
        case kReportFailed: return {KeeperStart::Failed, "the keeper could not take the clipboard"};
        case 0: return {KeeperStart::Failed, ended ? "the keeper ended at once" : "the keeper did not report in time"};
        default: return {KeeperStart::Failed, "the keeper gave an unknown report"};
    }
}

bool IsClipboardKeeper(int argc, char** argv) {
    if (argc < 1 || !argv[0] || std::strcmp(argv[0], kClipboardKeeperName) != 0) return false;
    struct stat status {};
    return ::fstat(kHandOffFd, &status) == 0 && S_ISSOCK(status.st_mode);
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

// ---- the keeper ---------------------------------------------------------

namespace {

struct HandOff {
    std::uint32_t owner = 0;
    std::string display;  // empty: $DISPLAY
    std::string text;
};

// "OWNER-HEX\nDISPLAY\nTEXT", read to the end of the stream.
std::optional<HandOff> ReadHandOff(int fd) {
    std::string message;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        message.append(buffer, static_cast<std::size_t>(n));
        if (message.size() > kMaxHandOff + 512) return std::nullopt;
    }
    const std::size_t display_end = message.find('\n', 9);
    if (message.size() < 9 || message[8] != '\n' || display_end == std::string::npos) return std::nullopt;
    const std::string hex = message.substr(0, 8);
    if (hex.find_first_not_of("0123456789abcdef") != std::string::npos) return std::nullopt;
    HandOff hand_off;
    hand_off.owner = static_cast<std::uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
    hand_off.display = message.substr(9, display_end - 9);
    hand_off.text = message.substr(display_end + 1);
    return hand_off;
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Own(T* reply) {
    return Reply<T>(reply, &std::free);
}

enum Atom : std::size_t {
    kClipboard, kTargets, kTimestamp, kUtf8String, kText, kMimeUtf8, kMimePlain, kManager, kSaveTargets,
    kProperty, kAtomCount
};
constexpr std::array<const char*, kAtomCount> kAtomNames = {
    "CLIPBOARD", "TARGETS", "TIMESTAMP", "UTF8_STRING", "TEXT", "text/plain;charset=utf-8", "text/plain",
    "CLIPBOARD_MANAGER", "SAVE_TARGETS", "_QUILLANTERN_KEEPER"};

class Keeper {
public:
    explicit Keeper(HandOff hand_off) : hand_off_(std::move(hand_off)), latin1_(Latin1FromUtf8(hand_off_.text)) {}
    ~Keeper() {
        if (connection_) xcb_disconnect(connection_);
    }

    // Connects and takes CLIPBOARD from the program's window; the report
    // for the program.
    char Take();
    // Serves requests until another client owns CLIPBOARD, or until a
    // clipboard manager has the text.
    void Serve();

private:
    bool Connect();
    std::optional<xcb_timestamp_t> ServerTime();
    xcb_window_t Owner(xcb_atom_t selection);
    // Owns CLIPBOARD if `expected` owns it now (checked with the server
    // grabbed, so no client can take it in between); the report for the
    // program.
    char TakeFrom(xcb_window_t expected);
    // Hands the text to a clipboard manager: false when the keeper should
    // go on serving it itself.
    bool HandToManager();
    // Waits for and handles events until `deadline` (none: no limit); false
    // once the keeper should end (CLIPBOARD taken, connection lost).
    bool Handle(std::optional<Clock::time_point> deadline);
    void HandleEvent(const xcb_generic_event_t& event);
    void Answer(const xcb_selection_request_event_t& request);
    bool ChangeProperty(const xcb_selection_request_event_t& request, xcb_atom_t type, std::uint8_t format,
                        std::uint32_t count, const void* data);

    HandOff hand_off_;
    std::optional<std::string> latin1_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0, window_ = 0;
    std::array<xcb_atom_t, kAtomCount> atoms_{};
    xcb_timestamp_t owned_since_ = 0;
    bool owned_ = false;
    bool taken_ = false;  // another client took CLIPBOARD from us
    // What the manager answered to the request to save: nothing yet, saved, refused.
    std::optional<bool> manager_saved_;
};

bool Keeper::Connect() {
    int screen_number = 0;
    connection_ = xcb_connect(hand_off_.display.empty() ? nullptr : hand_off_.display.c_str(), &screen_number);
    if (xcb_connection_has_error(connection_)) return false;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screen_number && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem) return false;
    root_ = screens.data->root;

    std::array<xcb_intern_atom_cookie_t, kAtomCount> cookies{};
    for (std::size_t i = 0; i < kAtomCount; ++i) {
        cookies[i] = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(kAtomNames[i])),
                                     kAtomNames[i]);
    }
    for (std::size_t i = 0; i < kAtomCount; ++i) {
        auto reply = Own(xcb_intern_atom_reply(connection_, cookies[i], nullptr));
        if (!reply) return false;
        atoms_[i] = reply->atom;
    }
    // Unmapped and input-only: nothing to see, nothing in a task bar, no
    // input. A selection needs a window to belong to; property changes on it
    // give the server's time.
    window_ = xcb_generate_id(connection_);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection_, 0, window_, root_, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    return xcb_flush(connection_) > 0 && !xcb_connection_has_error(connection_);
}

// The server's time now: a zero-length append to a property of our window
// comes back as a PropertyNotify stamped with it.
std::optional<xcb_timestamp_t> Keeper::ServerTime() {
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, atoms_[kProperty], XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(connection_);
    const auto deadline = Clock::now() + milliseconds(2000);
    while (Clock::now() < deadline) {
        xcb_generic_event_t* raw = xcb_poll_for_event(connection_);
        if (!raw) {
            if (xcb_connection_has_error(connection_)) return std::nullopt;
            pollfd poll_fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
            ::poll(&poll_fd, 1, 50);
            continue;
        }
        const auto event = Own(raw);
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if (notify->window == window_ && notify->atom == atoms_[kProperty]) return notify->time;
        } else {
            HandleEvent(*event);
        }
    }
    return std::nullopt;
}

xcb_window_t Keeper::Owner(xcb_atom_t selection) {
    auto reply = Own(xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection),
                                                   nullptr));
    return reply ? reply->owner : XCB_NONE;
}

char Keeper::TakeFrom(xcb_window_t expected) {
    const std::optional<xcb_timestamp_t> now = ServerTime();
    if (!now) return kReportFailed;
    xcb_grab_server(connection_);
    const bool still = Owner(atoms_[kClipboard]) == expected;
    if (still) xcb_set_selection_owner(connection_, window_, atoms_[kClipboard], *now);
    xcb_ungrab_server(connection_);
    if (xcb_connection_has_error(connection_)) return kReportFailed;
    if (!still) return kReportTakenOver;
    owned_ = Owner(atoms_[kClipboard]) == window_;
    owned_since_ = *now;
    return owned_ ? kReportKept : kReportFailed;
}

char Keeper::Take() { return Connect() ? TakeFrom(hand_off_.owner) : kReportFailed; }

void Keeper::Serve() {
    if (Owner(atoms_[kManager]) != XCB_NONE && HandToManager()) return;
    while (Handle(std::nullopt)) {
    }
}

bool Keeper::HandToManager() {
    // Ask the manager to save CLIPBOARD; it reads the text from us first.
    xcb_delete_property(connection_, window_, atoms_[kProperty]);
    xcb_convert_selection(connection_, window_, atoms_[kManager], atoms_[kSaveTargets], atoms_[kProperty],
                          owned_since_);
    const auto answer_by = Clock::now() + kManagerAnswer;
    while (!manager_saved_ && Clock::now() < answer_by) {
        if (!Handle(answer_by)) return true;  // CLIPBOARD taken, by the manager or anyone else
    }
    if (manager_saved_ == true) return true;  // it takes CLIPBOARD when we are gone
    if (manager_saved_ == false) return false;
    // No answer. Some managers never answer but take CLIPBOARD themselves as
    // soon as its owner lets it go: let it go and see; if nobody takes it,
    // take it back and keep the text.
    owned_ = false;
    xcb_set_selection_owner(connection_, XCB_NONE, atoms_[kClipboard], XCB_CURRENT_TIME);
    xcb_flush(connection_);
    const auto take_by = Clock::now() + kManagerTakeOver;
    while (Clock::now() < take_by) {
        if (Owner(atoms_[kClipboard]) != XCB_NONE) return true;
        if (!Handle(Clock::now() + milliseconds(20))) return true;
    }
    return TakeFrom(XCB_NONE) != kReportKept;
}

bool Keeper::Handle(std::optional<Clock::time_point> deadline) {
    if (xcb_flush(connection_) <= 0) return false;
    xcb_generic_event_t* raw = xcb_poll_for_event(connection_);
    if (!raw) {
        if (xcb_connection_has_error(connection_)) return false;
        int timeout = -1;
        if (deadline) {
            const auto left = std::chrono::duration_cast<milliseconds>(*deadline - Clock::now()).count();
            timeout = static_cast<int>(left > 0 ? left : 0);
        }
        pollfd poll_fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
        if (::poll(&poll_fd, 1, timeout) < 0 && errno != EINTR) return false;
        raw = xcb_poll_for_event(connection_);
        if (!raw) return !xcb_connection_has_error(connection_);
    }
    const auto event = Own(raw);
    HandleEvent(*event);
    return !taken_ && !xcb_connection_has_error(connection_);
}

void Keeper::HandleEvent(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7F) {
        case XCB_SELECTION_REQUEST: {
            const auto& request = reinterpret_cast<const xcb_selection_request_event_t&>(event);
            if (request.selection == atoms_[kClipboard]) Answer(request);
            break;
        }
        case XCB_SELECTION_CLEAR: {
            const auto& clear = reinterpret_cast<const xcb_selection_clear_event_t&>(event);
            // Ours going (we let it go for a manager) is not a takeover.
            if (clear.selection == atoms_[kClipboard] && owned_) {
                owned_ = false;
                taken_ = true;
            }
            break;
        }
        case XCB_SELECTION_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
            if (notify.selection == atoms_[kManager]) manager_saved_ = notify.property != XCB_NONE;
            break;
        }
        default:
            break;  // errors of requests to vanished requestors among them
    }
}

bool Keeper::ChangeProperty(const xcb_selection_request_event_t& request, xcb_atom_t type, std::uint8_t format,
                            std::uint32_t count, const void* data) {
    const std::uint64_t bytes = std::uint64_t{count} * (format / 8);
    // One request, no incremental transfer: the text is a few digits.
    if (bytes + 64 > std::uint64_t{xcb_get_maximum_request_length(connection_)} * 4) return false;
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property, type, format, count, data);
    return true;
}

void Keeper::Answer(const xcb_selection_request_event_t& request) {
    const std::string& text = hand_off_.text;
    const auto size = static_cast<std::uint32_t>(text.size());
    const xcb_atom_t target = request.target;
    bool answered = false;
    // Refused while we do not own CLIPBOARD (a request sent before we let it go).
    if (!owned_) {
    } else if (target == atoms_[kTargets]) {
        const std::array<xcb_atom_t, 7> targets = {atoms_[kTargets],   atoms_[kTimestamp], atoms_[kUtf8String],
                                                   XCB_ATOM_STRING,    atoms_[kText],      atoms_[kMimeUtf8],
                                                   atoms_[kMimePlain]};
        answered = ChangeProperty(request, XCB_ATOM_ATOM, 32, targets.size(), targets.data());
    } else if (target == atoms_[kTimestamp]) {
        answered = ChangeProperty(request, XCB_ATOM_INTEGER, 32, 1, &owned_since_);
    } else if (target == atoms_[kUtf8String] || target == atoms_[kMimeUtf8] || target == atoms_[kMimePlain]) {
        answered = ChangeProperty(request, target, 8, size, text.data());
    } else if (target == XCB_ATOM_STRING || target == atoms_[kText]) {
        // TEXT in the plainest encoding that holds it.
        if (latin1_) {
            answered = ChangeProperty(request, XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(latin1_->size()),
                                      latin1_->data());
        } else if (target == atoms_[kText]) {
            answered = ChangeProperty(request, atoms_[kUtf8String], 8, size, text.data());
        }
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = target;
    notify.property = !answered ? XCB_NONE : request.property != XCB_NONE ? request.property : target;
    xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_flush(connection_);
}

}  // namespace

int RunClipboardKeeper() {
    ::prctl(PR_SET_NAME, "quillantern");
    std::optional<HandOff> hand_off = ReadHandOff(kHandOffFd);
    if (!hand_off) {
        const char report = kReportFailed;
        (void)!::write(kHandOffFd, &report, 1);
        return 2;
    }
    Keeper keeper(std::move(*hand_off));
    const char report = keeper.Take();
    (void)!::write(kHandOffFd, &report, 1);
    ::close(kHandOffFd);
    if (report != kReportKept) return report == kReportTakenOver ? 0 : 1;
    keeper.Serve();
    return 0;
}

}  // namespace quill::qt
