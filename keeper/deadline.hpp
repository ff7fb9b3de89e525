// The end of a wait: every wait of the clipboard keeper and of the program
// that starts it is bounded by one, handed to poll() as the milliseconds
// left.
#pragma once

#include <chrono>

namespace quill::keeper {

class Deadline {
public:
    using Clock = std::chrono::steady_clock;

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
