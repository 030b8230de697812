#include "Pace.h"

#include <algorithm>

namespace walk {

namespace {

// At or above: the cores are the limit. Below the lower mark: the workers
// wait on the disk more than they compute. Between, nothing changes, so the
// count does not swing at every look.
constexpr double kSaturated = 0.85;
constexpr double kWaiting = 0.75;

} // namespace

TPace::TPace(int cores, int workers)
    : FCores(std::clamp(cores, 1, std::max(1, workers))), FWorkers(std::max(1, workers)), FAllowed(FCores)
{
}

void TPace::Restart(TClock::time_point now, std::int64_t cpuNs)
{
    FAllowed = FCores;
    FSince = now;
    FCpuSince = cpuNs;
}

void TPace::Retune(TClock::time_point now, std::int64_t cpuNs)
{
    const auto wall = std::chrono::duration_cast<std::chrono::nanoseconds>(now - FSince).count();
    if (wall <= 0)
        return;
    const double share = double(cpuNs - FCpuSince) / (double(wall) * FCores);
    FSince = now;
    FCpuSince = cpuNs;
    FAllowed = NextAllowed(share, FAllowed, FCores, FWorkers);
}

int TPace::NextAllowed(double busyShare, int allowed, int cores, int workers)
{
    if (busyShare >= kSaturated)
        return std::min(cores, workers);
    if (busyShare < kWaiting)
        return workers;
    return allowed;
}

} // namespace walk
