#include "Keys.h"

TKeyCommand KeyCommand(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers held = modifiers & ~Qt::KeypadModifier;
    if (held == Qt::NoModifier) {
        switch (key) {
        case Qt::Key_Backspace:
            return TKeyCommand::Parent;
        case Qt::Key_F1:
            return TKeyCommand::Help;
        case Qt::Key_Right:
        case Qt::Key_Down:
            return TKeyCommand::NextSlice;
        case Qt::Key_Left:
        case Qt::Key_Up:
            return TKeyCommand::PreviousSlice;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return TKeyCommand::OpenSlice;
        case Qt::Key_Escape:
            return TKeyCommand::HideTip;
        default:
            return TKeyCommand::None;
        }
    }
    if (held == Qt::AltModifier && key == Qt::Key_Up)
        return TKeyCommand::Parent;
    if (held == Qt::ControlModifier && key == Qt::Key_O)
        return TKeyCommand::Folder;
    if (held == Qt::ControlModifier && key == Qt::Key_Q)
        return TKeyCommand::Quit;
    return TKeyCommand::None;
}

bool RepeatsWhileHeld(TKeyCommand command)
{
    return command == TKeyCommand::NextSlice || command == TKeyCommand::PreviousSlice;
}

int SteppedSlice(int current, int count, int step)
{
    if (count <= 0)
        return -1;
    if (current < 0 || current >= count)
        return step > 0 ? 0 : count - 1;
    return ((current + step) % count + count) % count;
}

QString ButtonKeys(const QString &buttonName)
{
    if (buttonName == QLatin1String("BackBtn"))
        return QStringLiteral("Retour arrière, Alt+Haut");
    if (buttonName == QLatin1String("ScanBtn"))
        return QStringLiteral("Ctrl+O");
    if (buttonName == QLatin1String("HelpBtn"))
        return QStringLiteral("F1");
    if (buttonName == QLatin1String("CloseBtn"))
        return QStringLiteral("Ctrl+Q");
    return {};
}

QString KeysDescription()
{
    return QStringLiteral("Touches : Gauche et Droite, ou Haut et Bas, choisissent un secteur ; Entrée l'explore ; "
                          "Échap cache la bulle ; Retour arrière ou Alt+Haut : dossier parent ; Ctrl+O : choix du "
                          "dossier ; F1 : aide ; Ctrl+Q : quitter.");
}
