#include "app/ScanSession.h"

#include <QEventLoop>
#include <QTimer>
#include <new>

TScanSession::TScanSession(walk::TOptions options, THooks hooks, QObject *parent)
    : QObject(parent), FEngine(std::make_unique<walk::TEngine>(std::move(options))), FHooks(std::move(hooks)),
      FLastFolder(walk::CurrentFolder())
{
}

TScanSession::~TScanSession()
{
    if (FJob) {
        FJob->SetNotify({});
        FJob->Cancel();
    }
}

bool TScanSession::Begin()
{
    if (FState != TState::Idle)
        return false;
    FState = TState::Scanning;
    return true;
}

bool TScanSession::MakeCurrent(const std::string &path)
{
    return Start({walk::TRequest::TKind::Scan, path}) && Await(walk::TEvent::TKind::Current) && FJobCurrent;
}

const walk::TOutcome *TScanSession::Walk()
{
    return FJob && Await(walk::TEvent::TKind::Done) ? &FJob->Outcome() : nullptr;
}

bool TScanSession::End()
{
    Release();
    if (FState == TState::Closing) {
        FState = TState::Closed;
        return true;
    }
    if (FState == TState::Scanning)
        FState = TState::Idle;
    return false;
}

std::int64_t TScanSession::Measure(walk::TRequest::TKind kind, const std::string &path)
{
    if (FState != TState::Idle || !Start({kind, path}))
        return 0;
    const std::int64_t kb = Await(walk::TEvent::TKind::Done) ? FJob->Outcome().Kb : 0;
    Release();
    return kb;
}

bool TScanSession::Close()
{
    switch (FState) {
    case TState::Idle:
        FState = TState::Closed;
        return true;
    case TState::Scanning:
        // The window goes at once, whatever the disk is doing: the walk is
        // cancelled, never waited for, and the scan returns from its wait.
        FState = TState::Closing;
        if (FJob)
            FJob->Cancel();
        if (FWaitLoop)
            FWaitLoop->quit();
        return false;
    case TState::Closing:
    case TState::Closed:
        return false;
    }
    return false;
}

bool TScanSession::Start(walk::TRequest request)
{
    FJobCurrent = FJobDone = FJobFailed = false;
    FJobPath = request.Path;
    try {
        FJob = FEngine->Start(std::move(request));
        FJob->SetNotify([this] { QMetaObject::invokeMethod(this, &TScanSession::Serve, Qt::QueuedConnection); });
    } catch (const std::bad_alloc &) {
        FJob.reset();
        if (FHooks.OutOfMemory)
            FHooks.OutOfMemory(FJobPath);
        return false;
    }
    return true;
}

bool TScanSession::Await(walk::TEvent::TKind until)
{
    const auto reached = [&] { return FJobDone || (until == walk::TEvent::TKind::Current && FJobCurrent); };
    Serve();
    // Without a worker thread (the system refused them all) the walk runs
    // here, a slice at a time between the window's events.
    QTimer runHere;
    if (!FEngine->HasWorkers()) {
        connect(&runHere, &QTimer::timeout, this, [this] { FEngine->RunPending(std::chrono::milliseconds(10)); });
        runHere.start(0);
    }
    while (!reached() && !Closing()) {
        QEventLoop loop;
        FWaitLoop = &loop;
        loop.exec();
        FWaitLoop = nullptr;
    }
    return reached() && !FJobFailed && !Closing();
}

void TScanSession::Serve()
{
    // A warning box runs its own loop, in which more events may be announced:
    // they wait for this loop to come back to them, in order.
    if (FServing || !FJob)
        return;
    FServing = true;
    // A box shown here may see the window closed: later warnings go unshown.
    walk::TEvent event;
    while (FJob && FJob->TakeEvent(event)) {
        switch (event.Kind) {
        case walk::TEvent::TKind::Current:
            // Whether the folder was made current; a failure is followed by Done.
            FJobCurrent = event.Ok;
            if (event.Ok && !event.Path.empty())
                FLastFolder = event.Path;
            break;
        case walk::TEvent::TKind::CannotEnter:
            if (!Closing() && FHooks.CannotEnter)
                FHooks.CannotEnter(event.Path);
            break;
        case walk::TEvent::TKind::Failed:
            FJobFailed = true;
            if (!Closing() && FHooks.OutOfMemory)
                FHooks.OutOfMemory(FJobPath);
            break;
        case walk::TEvent::TKind::Done:
            FJobDone = true;
            break;
        }
        if (FWaitLoop)
            FWaitLoop->quit();
    }
    FServing = false;
}

void TScanSession::Release()
{
    if (!FJob)
        return;
    FJob->SetNotify({});
    FJob.reset();
}
