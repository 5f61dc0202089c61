#pragma once

#include <chrono>
#include <deque>

namespace kivo {

// Frame rate measured over the last few frames produced.
class FpsMeter
{
public:
    using Clock = std::chrono::steady_clock;

    void reset() { times.clear(); }
    void frame(Clock::time_point t);
    // Two frames make a first measurement.
    bool measuring() const { return times.size() >= 2; }
    // 0 when fewer than two frames came or the frames have stopped coming
    // for well over one frame time.
    double fps(Clock::time_point now, double frameTime) const;

private:
    std::deque<Clock::time_point> times;
};

} // namespace kivo
