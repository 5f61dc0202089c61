#include "fpsmeter.h"

namespace kivo {

namespace {

constexpr size_t window = 8;

} // namespace

void FpsMeter::frame(Clock::time_point t)
{
    times.push_back(t);
    if (times.size() > window)
        times.pop_front();
}

double FpsMeter::fps(Clock::time_point now, double frameTime) const
{
    if (times.size() < 2)
        return 0.0;
    const std::chrono::duration<double> sinceLast = now - times.back();
    if (sinceLast.count() > 2.0 * frameTime + 0.5)
        return 0.0;
    const std::chrono::duration<double> span = times.back() - times.front();
    return span.count() > 0.0 ? double(times.size() - 1) / span.count() : 0.0;
}

} // namespace kivo
