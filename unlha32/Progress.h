#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

namespace unlha {

// Told the bytes done and the bytes in all while a command or a check runs, always on the
// thread that started it; returning false cancels the work. May be empty.
using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

inline constexpr const char* kCancelled = "cancelled";

// Reports a growing count against a total known in advance; a total that turns out too small
// (a file that grew) grows with the count.
class ProgressCounter {
public:
    ProgressCounter(const Progress& progress, std::uint64_t total) : progress_(progress), total_(total) {}
    // Adds n bytes done; false once the caller cancelled.
    bool add(std::uint64_t n)
    {
        done_ += n;
        total_ = std::max(total_, done_);
        if (progress_ && !cancelled_ && !progress_(done_, total_))
            cancelled_ = true;
        return !cancelled_;
    }
    bool cancelled() const { return cancelled_; }

private:
    const Progress& progress_;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    bool cancelled_ = false;
};

} // namespace unlha
