#pragma once
// A main window for scan tests: warning boxes are collected instead of shown,
// and the process's folder is put back afterwards.
#include "support/FormProbe.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <QStringList>
#include <string>

struct ScanWindow {
    // The timer's ticks so far; with `holdTicks`, every file's status waits
    // until that many were served (five seconds at most), so that a scan lasts
    // long enough to be watched however fast the disk.
    // Shared with the walk's workers, which may outlive a window closed mid-walk.
    std::shared_ptr<std::atomic<int>> ticks = std::make_shared<std::atomic<int>>(0);
    TForm1 form;
    TForm1::TProbe probe{form};
    QStringList warnings;
    std::string startDir = CurrentDir();
    explicit ScanWindow(int holdTicks = 0) : form(nullptr, HeldUntil(holdTicks))
    {
        QObject::connect(&probe.Timer(), &QTimer::timeout, [t = ticks] { ++*t; });
        platform::SetBoxHook([this](const QString &, const QString &text) { warnings << text; });
        form.show();
        // Slices are found where the pie was drawn: the window must be on show.
        if (!QTest::qWaitForWindowExposed(&form))
            qWarning("the window was not exposed");
    }
    walk::TOptions HeldUntil(int holdTicks)
    {
        walk::TOptions options;
        if (holdTicks > 0)
            options.BeforeStatus = [t = ticks, holdTicks](const char *) {
                for (int i = 0; i < 5000 && *t < holdTicks; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            };
        return options;
    }
    ~ScanWindow()
    {
        platform::SetBoxHook({});
        ChangeDir(startDir);
    }
    TPieSeries &Pie() { return probe.Pie(); }
    std::string Label(int i) { return Pie().LabelAt(i); }
    // Index of the slice with this label, or -1.
    int IndexOf(const std::string &label)
    {
        for (int i = 0; i < Pie().PointCount(); ++i)
            if (Pie().LabelAt(i) == label)
                return i;
        return -1;
    }
    // Kilobytes of the slice with this label, or -1.
    double Size(const std::string &label)
    {
        const int i = IndexOf(label);
        return i < 0 ? -1 : Pie().YValueAt(i);
    }
    // A click on the slice with this label, inside the circle.
    void Click(const std::string &label)
    {
        form.Chart1ClickSeries(nullptr, &probe.Pie(), IndexOf(label), TMouseButton::mbLeft, 0, 102, 102);
    }
};
