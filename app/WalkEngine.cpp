#include "WalkEngine.h"

#include "WalkJob.h"
#include "WalkPool.h"

#include <algorithm>

std::string FormatNameDir(const std::string &name)
{
    if (name.empty() || name.back() == '/')
        return name;
    return name + '/';
}

TWalkEngine::TWalkEngine(TWalkOptions options) : FOptions(std::move(options))
{
    FOptions.Workers = std::max(1, FOptions.Workers);
    FPool = std::make_shared<TWalkPool>(FOptions.Workers);
}

TWalkEngine::~TWalkEngine()
{
    FPool->Shutdown();
}

std::shared_ptr<TWalkJob> TWalkEngine::Start(TWalkRequest request)
{
    FPool->Restart();
    auto job = std::make_shared<TWalkJobImpl>(std::move(request), FOptions, FPool);
    std::vector<TWalkTask> begin;
    begin.push_back({job, nullptr, TWalkTask::TKind::Begin, {}});
    FPool->Post(begin);
    return job;
}

bool TWalkEngine::HasWorkers() const
{
    return FPool->HasWorkers();
}

bool TWalkEngine::RunPending(std::chrono::milliseconds slice)
{
    const auto end = std::chrono::steady_clock::now() + slice;
    bool ran = false;
    while (std::chrono::steady_clock::now() < end && FPool->RunOne())
        ran = true;
    return ran;
}
