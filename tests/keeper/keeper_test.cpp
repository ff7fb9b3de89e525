// The clipboard keeper as other X11 clients meet it: the hand-off, where the
// program finds the helpers, and the built quillantern-clipboard-x11 on the
// test's X server answering requests by the ICCCM.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "keeper/handoff.hpp"
#include "keeper/start.hpp"
#include "x11/xcb_helpers.hpp"

namespace quill::keeper {
namespace {

TEST(KeeperHandOff, MessagesRoundTripAndAnythingElseIsRefused) {
    const HandOff x11{Kind::X11, 0x00a00001, ":7", "33023"};
    const HandOff wayland{Kind::Wayland, 0, "", "line one\nline two"};
    for (const HandOff& hand_off : {x11, wayland}) {
        const std::string message = EncodeHandOff(hand_off).value();
        const auto decoded = DecodeHandOff(message);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->kind, hand_off.kind);
        EXPECT_EQ(decoded->owner, hand_off.owner);
        EXPECT_EQ(decoded->display, hand_off.display);
        EXPECT_EQ(decoded->text, hand_off.text);
    }
    EXPECT_FALSE(EncodeHandOff({Kind::X11, 1, "a\nb", "1"}));
    EXPECT_FALSE(EncodeHandOff({Kind::X11, 1, std::string(kMaxDisplayName + 1, 'd'), "1"}));
    EXPECT_FALSE(EncodeHandOff({Kind::X11, 1, "", std::string(kMaxText + 1, '1')}));
    for (const char* bad : {"", "x0000000", "q00000001\n\n1", "x0000000g\n\n1", "x00000001 :0\n1", "x00000001\n:0"}) {
        EXPECT_FALSE(DecodeHandOff(bad)) << bad;
    }
}

TEST(KeeperPath, InstalledBelowLibexecElseBesideTheProgramNeverElsewhere) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("keeper-path-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const auto make = [](const fs::path& file, bool executable) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "#!/bin/sh\n";
        fs::permissions(file, executable ? fs::perms::owner_all : fs::perms::owner_read);
    };
    make(root / "bin/quillantern", true);
    for (const Kind kind : {Kind::X11, Kind::Wayland}) {
        const std::string name = KeeperName(kind);
        EXPECT_FALSE(KeeperPath((root / "bin/quillantern").string(), kind));
        EXPECT_FALSE(KeeperPath("quillantern", kind));  // no folder: never a $PATH search
        make(root / "bin" / name, false);
        EXPECT_FALSE(KeeperPath((root / "bin/quillantern").string(), kind)) << "not executable";
        make(root / "bin" / name, true);
        EXPECT_EQ(KeeperPath((root / "bin/quillantern").string(), kind), (root / "bin" / name).string());
        make(root / "libexec/quillantern" / name, true);
        EXPECT_EQ(KeeperPath((root / "bin/quillantern").string(), kind),
                  (root / "bin/../libexec/quillantern" / name).string());
    }
    fs::remove_all(root);
}

// ---- the keeper on the test's X server ---------------------------------

using Clock = std::chrono::steady_clock;
// Only a bound against a hang; nothing here is timed.
constexpr auto kHang = std::chrono::seconds(20);

struct Converted {
    bool answered = false;
    xcb_atom_t type = XCB_NONE;
    std::string data;
    std::vector<std::uint8_t> event;  // the 32 bytes of the SelectionNotify
};

// A plain client with one window: it owns CLIPBOARD before the hand-off,
// and then asks the keeper for it.
class X11Keeper : public ::testing::Test {
protected:
    // Held open for all cases: an X server resets itself when its last
    // client goes, and refuses connections meanwhile.
    static void SetUpTestSuite() { anchor_ = xcb_connect(nullptr, nullptr); }
    static void TearDownTestSuite() { xcb_disconnect(anchor_); }
    static inline xcb_connection_t* anchor_ = nullptr;

    void SetUp() override {
        const char* keeper = std::getenv("QUILL_KEEPER");
        ASSERT_TRUE(keeper) << "QUILL_KEEPER names the built helper";
        keeper_ = keeper;
        c_ = xcb_connect(nullptr, nullptr);
        ASSERT_FALSE(xcb_connection_has_error(c_)) << "no X display";
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window_ = xcb_generate_id(c_);
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c_, 0, window_, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        for (const char* name :
             {"CLIPBOARD", "PRIMARY", "TARGETS", "MULTIPLE", "TIMESTAMP", "ATOM_PAIR", "UTF8_STRING", "STRING", "TEXT",
              "text/plain", "text/plain;charset=utf-8", "image/png", "INTEGER", "ATOM", "P1", "P2", "P3", "PAIRS"}) {
            atoms_[name] = x11::InternAtom(c_, name);
        }
    }

    void TearDown() override {
        for (const int pid : Keepers()) ::kill(pid, SIGTERM);
        if (c_) xcb_disconnect(c_);
    }

    xcb_atom_t A(const char* name) { return atoms_.at(name); }

    // The next event of `type` (others are dropped), within kHang.
    std::optional<std::vector<std::uint8_t>> Next(std::uint8_t type) {
        const auto deadline = Clock::now() + kHang;
        while (Clock::now() < deadline) {
            auto event = x11::Own(xcb_poll_for_event(c_));
            if (!event) {
                pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
                ::poll(&fd, 1, 100);
                continue;
            }
            if ((event->response_type & 0x7F) != type) continue;
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(event.get());
            return std::vector<std::uint8_t>(bytes, bytes + 32);
        }
        return std::nullopt;
    }

    xcb_timestamp_t Now() {
        xcb_change_property(c_, XCB_PROP_MODE_APPEND, window_, A("P3"), XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(c_);
        const auto event = Next(XCB_PROPERTY_NOTIFY);
        EXPECT_TRUE(event) << "a PropertyNotify for the server's time";
        return event ? reinterpret_cast<const xcb_property_notify_event_t*>(event->data())->time : 0;
    }

    // Owns CLIPBOARD, then hands it to a keeper with `text`.
    KeeperResult HandOver(const std::string& text) {
        xcb_set_selection_owner(c_, window_, A("CLIPBOARD"), Now());
        EXPECT_EQ(x11::SelectionOwner(c_, A("CLIPBOARD")), window_);
        return StartKeeper(keeper_, {Kind::X11, window_, "", text}, kReportWithin);
    }

    Converted Read(const std::vector<std::uint8_t>& event) {
        Converted got;
        got.event = event;
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.data());
        got.answered = notify->property != XCB_NONE;
        if (got.answered) std::tie(got.type, got.data) = Property(notify->property);
        return got;
    }

    std::pair<xcb_atom_t, std::string> Property(xcb_atom_t property) {
        auto reply = x11::Own(xcb_get_property_reply(
            c_, xcb_get_property(c_, 1, window_, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16), nullptr));
        if (!reply) return {XCB_NONE, {}};
        const auto* value = static_cast<const char*>(xcb_get_property_value(reply.get()));
        return {reply->type, std::string(value, value + xcb_get_property_value_length(reply.get()))};
    }

    Converted Convert(xcb_atom_t target, xcb_atom_t property, xcb_timestamp_t time) {
        xcb_convert_selection(c_, window_, A("CLIPBOARD"), target, property, time);
        xcb_flush(c_);
        const auto event = Next(XCB_SELECTION_NOTIFY);
        EXPECT_TRUE(event) << "an answer to a request";
        return event ? Read(*event) : Converted{};
    }

    // The keeper processes on this display (zombies count as ended).
    std::vector<int> Keepers() {
        namespace fs = std::filesystem;
        std::vector<int> pids;
        const std::string display = std::string("DISPLAY=") + std::getenv("DISPLAY");
        std::error_code error;
        const fs::path keeper = fs::canonical(keeper_, error);
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::string pid = entry.path().filename();
            if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
            if (fs::read_symlink(entry.path() / "exe", error) != keeper || error) continue;
            std::ifstream stat(entry.path() / "stat");
            std::string all((std::istreambuf_iterator<char>(stat)), {});
            if (all.rfind(") Z") != std::string::npos) continue;
            std::ifstream environ(entry.path() / "environ");
            std::string variables((std::istreambuf_iterator<char>(environ)), {});
            if (variables.find(display + '\0') == std::string::npos) continue;
            pids.push_back(std::stoi(pid));
        }
        return pids;
    }

    bool KeeperEnds() {
        const auto deadline = Clock::now() + kHang;
        while (!Keepers().empty()) {
            if (Clock::now() > deadline) return false;
            ::usleep(50 * 1000);
        }
        return true;
    }

    std::string keeper_;
    xcb_connection_t* c_ = nullptr;
    xcb_window_t window_ = XCB_NONE;
    std::map<std::string, xcb_atom_t> atoms_;
};

std::string Atoms(std::initializer_list<xcb_atom_t> atoms) {
    std::string bytes;
    for (const xcb_atom_t atom : atoms) bytes.append(reinterpret_cast<const char*>(&atom), sizeof atom);
    return bytes;
}

TEST_F(X11Keeper, AnswersEachRequestTheIcccmWayAndEndsWhenAnotherClientCopies) {
    const xcb_timestamp_t before = Now();
    ::usleep(20 * 1000);  // the server's clock moves on by then (milliseconds)
    ASSERT_EQ(HandOver("33023").outcome, Report::Kept);
    EXPECT_NE(x11::SelectionOwner(c_, A("CLIPBOARD")), window_);
    const struct {
        const char* target;
        const char* property;  // nullptr: None, as obsolete clients ask
        bool stale;            // asked with a time before the keeper's ownership
        const char* type;      // nullptr: refused
        std::string data;
    } cases[] = {
        {"UTF8_STRING", "P1", false, "UTF8_STRING", "33023"},
        {"STRING", "P1", false, "STRING", "33023"},
        {"TEXT", "P1", false, "STRING", "33023"},
        {"text/plain;charset=utf-8", "P1", false, "text/plain;charset=utf-8", "33023"},
        {"text/plain", "P1", false, "text/plain", "33023"},
        {"UTF8_STRING", nullptr, false, "UTF8_STRING", "33023"},
        {"TIMESTAMP", "P1", false, "INTEGER", {}},
        {"image/png", "P1", false, nullptr, {}},
        {"UTF8_STRING", "P1", true, nullptr, {}},
        {"MULTIPLE", nullptr, false, nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.target) + (c.property ? " into a property" : " into None") +
                     (c.stale ? ", stale" : ""));
        const xcb_atom_t property = c.property ? A(c.property) : XCB_NONE;
        xcb_delete_property(c_, window_, c.property ? property : A(c.target));
        const Converted got = Convert(A(c.target), property, c.stale ? before : XCB_CURRENT_TIME);
        ASSERT_EQ(got.answered, c.type != nullptr);
        if (!c.type) continue;
        EXPECT_EQ(got.type, A(c.type));
        if (std::string(c.target) == "TIMESTAMP") {
            ASSERT_EQ(got.data.size(), 4u);
            xcb_timestamp_t owned;
            std::memcpy(&owned, got.data.data(), 4);
            EXPECT_GT(static_cast<std::int32_t>(owned - before), 0) << "the time it took ownership";
        } else {
            EXPECT_EQ(got.data, c.data);
        }
    }
    const Converted targets = Convert(A("TARGETS"), A("P2"), XCB_CURRENT_TIME);
    ASSERT_TRUE(targets.answered);
    EXPECT_EQ(targets.type, A("ATOM"));
    for (const char* offered : {"TARGETS", "MULTIPLE", "TIMESTAMP", "UTF8_STRING", "STRING", "TEXT", "text/plain",
                                "text/plain;charset=utf-8"}) {
        EXPECT_NE(targets.data.find(Atoms({A(offered)})), std::string::npos) << offered << " offered";
    }
    EXPECT_EQ(targets.data.find(Atoms({A("image/png")})), std::string::npos);

    // Another client copies: the keeper ends.
    xcb_set_selection_owner(c_, window_, A("CLIPBOARD"), XCB_CURRENT_TIME);
    xcb_flush(c_);
    EXPECT_TRUE(KeeperEnds()) << "the keeper is still there after another client owned CLIPBOARD";
}

TEST_F(X11Keeper, MultipleConvertsEachPairAndMarksTheOnesItRefuses) {
    ASSERT_EQ(HandOver("ÿ 33023").outcome, Report::Kept);
    const std::string pairs = Atoms({A("UTF8_STRING"), A("P1"), A("image/png"), A("P2"), A("STRING"), A("P3"),
                                     A("MULTIPLE"), A("P2"), A("TEXT"), XCB_NONE});
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, A("PAIRS"), A("ATOM_PAIR"), 32, 10, pairs.data());
    const Converted got = Convert(A("MULTIPLE"), A("PAIRS"), XCB_CURRENT_TIME);
    ASSERT_TRUE(got.answered);
    EXPECT_EQ(got.type, A("ATOM_PAIR"));
    EXPECT_EQ(got.data, Atoms({A("UTF8_STRING"), A("P1"), A("image/png"), XCB_NONE, A("STRING"), A("P3"), A("MULTIPLE"),
                               XCB_NONE, A("TEXT"), XCB_NONE}));
    EXPECT_EQ(Property(A("P1")), std::make_pair(A("UTF8_STRING"), std::string("ÿ 33023")));
    EXPECT_EQ(Property(A("P3")), std::make_pair(A("STRING"), std::string("\xff 33023")));
}

TEST_F(X11Keeper, OtherSelectionsAreRefusedWithAFullyPaddedEventAndATakenClipboardIsLeftAlone) {
    ASSERT_EQ(HandOver("33023").outcome, Report::Kept);
    const xcb_window_t keeper_window = x11::SelectionOwner(c_, A("CLIPBOARD"));
    xcb_selection_request_event_t request{};
    request.response_type = XCB_SELECTION_REQUEST;
    request.owner = keeper_window;
    request.requestor = window_;
    request.selection = A("PRIMARY");
    request.target = A("UTF8_STRING");
    request.property = A("P1");
    char event[32] = {};
    std::memcpy(event, &request, sizeof request);
    xcb_send_event(c_, 0, keeper_window, XCB_EVENT_MASK_NO_EVENT, event);
    xcb_flush(c_);
    const auto answer = Next(XCB_SELECTION_NOTIFY);
    ASSERT_TRUE(answer) << "an answer for another selection";
    const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(answer->data());
    EXPECT_EQ(notify->selection, A("PRIMARY"));
    EXPECT_EQ(notify->property, static_cast<xcb_atom_t>(XCB_NONE));
    for (std::size_t i = sizeof(xcb_selection_notify_event_t); i < 32; ++i) {
        EXPECT_EQ((*answer)[i], 0) << "byte " << i << " of the event";
    }

    // A hand-off from a window that no longer owns CLIPBOARD takes nothing.
    xcb_set_selection_owner(c_, window_, A("CLIPBOARD"), XCB_CURRENT_TIME);
    xcb_flush(c_);
    ASSERT_TRUE(KeeperEnds());
    xcb_set_selection_owner(c_, XCB_NONE, A("CLIPBOARD"), XCB_CURRENT_TIME);
    xcb_flush(c_);
    EXPECT_EQ(StartKeeper(keeper_, {Kind::X11, window_, "", "1"}, kReportWithin).outcome, Report::TakenOver);
    EXPECT_EQ(x11::SelectionOwner(c_, A("CLIPBOARD")), static_cast<xcb_window_t>(XCB_NONE));
    EXPECT_TRUE(KeeperEnds());
}

}  // namespace
}  // namespace quill::keeper
