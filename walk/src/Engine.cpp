#include "walk/Walk.h"

#include "Job.h"
#include "Linux.h"
#include "Pool.h"

#include <algorithm>

namespace walk {

TEngine::TEngine(TOptions options) : FOptions(std::move(options))
{
    FOptions.Workers = std::max(1, FOptions.Workers);
    FPool = std::make_shared<TPool>(FOptions.Workers);
}

TEngine::~TEngine()
{
    FPool->Shutdown();
}

std::shared_ptr<TJob> TEngine::Start(TRequest request)
{
    FPool->Restart();
    auto job = std::make_shared<TJobImpl>(std::move(request), FOptions, FPool);
    std::vector<TTask> begin;
    begin.push_back({job, nullptr, TTask::TKind::Begin, {}});
    FPool->Post(begin);
    return job;
}

bool TEngine::HasWorkers() const
{
    return FPool->HasWorkers();
}

bool TEngine::RunPending(std::chrono::milliseconds slice)
{
    const auto end = std::chrono::steady_clock::now() + slice;
    bool ran = false;
    while (std::chrono::steady_clock::now() < end && FPool->RunOne())
        ran = true;
    return ran;
}

std::string CurrentFolder()
{
    return os::GetCurrentDir();
}

void ShareOneArenaUnderAMemoryLimit()
{
    os::ShareOneArenaUnderAMemoryLimit();
}

} // namespace walk
