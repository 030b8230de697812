#pragma once
// Modal windows in tests: boxes collected instead of shown, and checks run
// on a modal dialog once it is up.
#include "platform/Messages.h"

#include <QtTest>
#include <functional>

struct Boxes {
    QStringList texts;
    Boxes() { platform::SetBoxHook([this](const QString &, const QString &t) { texts << t; }); }
    ~Boxes() { platform::SetBoxHook({}); }
};

// Runs f on the modal dialog once it is shown; a dialog a failed check left
// open is closed after a while, so that a failure never hangs the run.
inline void whenModal(std::function<void(QWidget *)> f)
{
    QTimer::singleShot(0, [f] {
        QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
        QWidget *modal = QApplication::activeModalWidget();
        QTimer::singleShot(10000, modal, [modal] { modal->close(); });
        f(modal);
    });
}
