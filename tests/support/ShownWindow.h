#pragma once
// A main window shown and drawn, for tests of what it shows and how it moves.
#include "support/FormProbe.h"

#include <QtTest>

struct ShownWindow {
    TForm1 form;
    TForm1::TProbe probe{form};
    ShownWindow()
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qWarning("the window was not exposed");
        QCoreApplication::processEvents();
    }
    QImage Grab() { return form.grab().toImage(); }
};
