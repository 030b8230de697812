#pragma once
// A main window for scan tests: warning boxes are collected instead of shown,
// and the process's folder is put back afterwards.
#include "FileSystem.h"
#include "Messages.h"
#include "PieSeries.h"
#include "Unit1.h"

#include <QCoreApplication>
#include <QStringList>
#include <string>

struct ScanWindow {
    TForm1 form;
    QStringList warnings;
    std::string startDir = fsys::GetCurrentDir();
    ScanWindow()
    {
        platform::SetBoxHook([this](const QString &, const QString &text) { warnings << text; });
        form.show();
        QCoreApplication::processEvents();
    }
    ~ScanWindow()
    {
        platform::SetBoxHook({});
        fsys::SetCurrentDir(startDir);
    }
    TPieSeries &Pie() { return *form.Series1; }
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
        form.Chart1ClickSeries(nullptr, form.Series1, IndexOf(label), TMouseButton::mbLeft, 0, 102, 102);
    }
};
