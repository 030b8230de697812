#pragma once
// What stands between the window and the walk: one walk at a time, waited for
// in a nested event loop so that the window is served while the disk works,
// its warnings shown as they come, and a close that ends the wait at once.
#include "walk/Walk.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QEventLoop;

class TScanSession : public QObject {
    Q_OBJECT
public:
    // Called on the window's thread, in walk order, while a walk is waited for.
    struct THooks {
        // A folder below the walked one that cannot be entered.
        std::function<void(const std::string &path)> CannotEnter;
        // Memory ran out for the walk of `path`: nothing of it is shown.
        std::function<void(const std::string &path)> OutOfMemory;
    };

    TScanSession(walk::TOptions options, THooks hooks, QObject *parent = nullptr);
    // Cancels a walk still under way; its workers are left to the engine.
    ~TScanSession() override;

    // --- a scan's steps, in this order
    // A scan may start: none is under way and the window is open. Every Begin
    // that returned true is followed by one End.
    bool Begin();
    // Starts walking `path` and serves the window until the walk has made it
    // current (true) or could not (false: a missing folder, a close, no memory).
    bool MakeCurrent(const std::string &path);
    // Serves the window until the walk begun by MakeCurrent is over; its
    // outcome, or nothing when it failed or the window was closed meanwhile.
    // The outcome lives until End.
    const walk::TOutcome *Walk();
    // Lets go of the walk: nothing of it stays open between scans. True when
    // the window was closed during the scan and must now be closed for good.
    bool End();

    // Kilobytes of `path` as a walk of `kind` (FilesSize or FullSize) counts
    // them, warnings shown; 0 when it cannot be walked. Outside a scan.
    std::int64_t Measure(walk::TRequest::TKind kind, const std::string &path);

    // The window asks to close. True when it may close now; during a scan
    // false: the walk is cancelled and its wait ends at once, and End says so.
    bool Close();

    bool Scanning() const { return FState == TState::Scanning || FState == TState::Closing; }
    // The last folder a walk made current; at first the process's folder.
    const std::string &LastFolder() const { return FLastFolder; }

private:
    enum class TState { Idle, Scanning, Closing, Closed };
    bool Closing() const { return FState == TState::Closing || FState == TState::Closed; }

    bool Start(walk::TRequest request);
    // Serves the window until the walk has told `until`; false when it failed
    // or the window closed first.
    bool Await(walk::TEvent::TKind until);
    // Takes the walk's events waiting on this thread.
    void Serve();
    void Release();

    std::unique_ptr<walk::TEngine> FEngine;
    THooks FHooks;
    TState FState = TState::Idle;
    // The walk waited for, what it has told so far, and the loop waiting.
    std::shared_ptr<walk::TJob> FJob;
    std::string FJobPath;
    bool FJobCurrent = false;
    bool FJobDone = false;
    bool FJobFailed = false;
    // A warning box runs its own loop, in which Serve may be called again.
    bool FServing = false;
    QEventLoop *FWaitLoop = nullptr;
    std::string FLastFolder;
};
