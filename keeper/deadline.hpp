// The end of a wait: every wait of the clipboard keeper and of the program
// that starts it is bounded by one, handed to poll() as the milliseconds
// left.
#pragma once

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>

namespace quill::keeper {

// The monotonic clock, as steady_clock reads it, but through the system
// call: libc's clock_gettime (which steady_clock calls) lies apart from
// everything else a keeper calls, and would map a region of the C library
// into a keeper for that alone. The few waits here afford the system call.
struct MonotonicClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<MonotonicClock>;
    static constexpr bool is_steady = true;
    static time_point now() noexcept {
        timespec now{};
        ::syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &now);
        return time_point(std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec));
    }
};

class Deadline {
public:
    using Clock = MonotonicClock;

    // A wait that ends only with what it waits for.
    static constexpr Deadline Never() { return Deadline(Clock::time_point::max()); }
    static Deadline After(Clock::duration wait) { return Deadline(Clock::now() + wait); }
    constexpr explicit Deadline(Clock::time_point at) : at_(at) {}

    bool IsNever() const { return at_ == Clock::time_point::max(); }
    bool Passed() const { return !IsNever() && Clock::now() >= at_; }
    // poll()'s timeout: the milliseconds left, rounded up so that a wait
    // never ends early; 0 once passed; -1 (no limit) for Never().
    int PollTimeout() const {
        if (IsNever()) return -1;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }

private:
    Clock::time_point at_;
};

}  // namespace quill::keeper
