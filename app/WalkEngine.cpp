#include "WalkEngine.h"

#include "WalkDescriptors.h"
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
    // Each worker holds at most two descriptors at once, the walk's own
    // folder one more: a smaller budget could leave every worker waiting.
    const int budget = std::max(TWalkDescriptors::DefaultBudget(FOptions.MaxOpenDirs), 2 * FOptions.Workers + 2);
    auto job = std::make_shared<TWalkJobImpl>(std::move(request), FOptions, FPool, budget);
    std::vector<TWalkTask> begin;
    begin.push_back({job, nullptr, TWalkTask::TKind::Begin, {}});
    FPool->Post(begin);
    return job;
}
