#include "Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {
BoxHook &boxHook()
{
    static BoxHook hook;
    return hook;
}
} // namespace

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
