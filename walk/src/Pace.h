#pragma once
// How many of the walk's workers may run at once. A walk of a cached tree
// keeps every core busy: threads beyond the cores then only queue up, and the
// window's thread waits in that queue too, so its timer ticks come late. A
// walk of a cold or remote disk mostly waits: then every worker runs, so the
// disk always has requests to serve. Which of the two is going on is read
// from the cores the process uses, looked at every period.
#include <chrono>
#include <cstdint>

namespace walk {

class TPace {
public:
    using TClock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kPeriod{25};

    TPace(int cores, int workers);

    // A new walk starts with one worker per core. `cpuNs` is the process's
    // processor time so far.
    void Restart(TClock::time_point now, std::int64_t cpuNs);
    // Whether a period has passed since the last look.
    bool Due(TClock::time_point now) const { return now - FSince >= kPeriod; }
    // Looks at the cores' use since the last look.
    void Retune(TClock::time_point now, std::int64_t cpuNs);
    int Allowed() const { return FAllowed; }

    // `busyShare`: the part of all cores the process kept busy (1 = all).
    static int NextAllowed(double busyShare, int allowed, int cores, int workers);

private:
    const int FCores;
    const int FWorkers;
    int FAllowed;
    TClock::time_point FSince;
    std::int64_t FCpuSince = 0;
};

} // namespace walk
