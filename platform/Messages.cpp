#include "Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <chrono>

namespace platform {

namespace {
BoxHook &boxHook()
{
    static BoxHook hook;
    return hook;
}
using Clock = std::chrono::steady_clock;
Clock::time_point &lastServed()
{
    static Clock::time_point t;
    return t;
}
constexpr auto kServeEvery = std::chrono::milliseconds(8);
} // namespace

void ProcessMessages()
{
    const auto now = Clock::now();
    if (now - lastServed() < kServeEvery)
        return;
    ProcessMessagesNow();
}

void ProcessMessagesNow()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    lastServed() = Clock::now();
}

void WarningBox(QWidget *parent, const QString &text)
{
    if (boxHook()) {
        boxHook()(QStringLiteral("warning"), text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Avertissement"), text, QMessageBox::Ok, parent);
    box.exec();
}

void ErrorBox(QWidget *parent, const QString &text)
{
    if (boxHook()) {
        boxHook()(QStringLiteral("error"), text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

void SetBoxHook(BoxHook hook)
{
    boxHook() = std::move(hook);
}

} // namespace platform
