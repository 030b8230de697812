#include "Keys.h"

#include <QStringList>
#include <algorithm>

namespace {

constexpr QKeyCombination kNone{};

constexpr TKeyBinding kBindings[] = {
    {TKeyCommand::Parent, TKeyPlace::MainWindow, {Qt::Key_Backspace, Qt::ALT | Qt::Key_Up}, false, "dossier parent"},
    {TKeyCommand::Folder, TKeyPlace::MainWindow, {Qt::CTRL | Qt::Key_O, kNone}, false, "choix du dossier"},
    {TKeyCommand::Help, TKeyPlace::MainWindow, {Qt::Key_F1, kNone}, false, "aide"},
    {TKeyCommand::Quit, TKeyPlace::MainWindow, {Qt::CTRL | Qt::Key_Q, kNone}, false, "quitter"},
    {TKeyCommand::NextSlice, TKeyPlace::MainWindow, {Qt::Key_Right, Qt::Key_Down}, true, "secteur suivant"},
    {TKeyCommand::PreviousSlice, TKeyPlace::MainWindow, {Qt::Key_Left, Qt::Key_Up}, true, "secteur précédent"},
    {TKeyCommand::OpenSlice, TKeyPlace::MainWindow, {Qt::Key_Return, Qt::Key_Enter}, false,
     "ouvrir le secteur choisi"},
    {TKeyCommand::HideTip, TKeyPlace::MainWindow, {Qt::Key_Escape, kNone}, false, "cacher la bulle"},
};

struct TKeyName {
    Qt::Key Key;
    const char *English;
    const char *French;
};

constexpr TKeyName kKeyNames[] = {
    {Qt::Key_Backspace, "Backspace", "Retour arrière"},
    {Qt::Key_Up, "Up", "Haut"},
    {Qt::Key_Down, "Down", "Bas"},
    {Qt::Key_Left, "Left", "Gauche"},
    {Qt::Key_Right, "Right", "Droite"},
    {Qt::Key_Return, "Enter", "Entrée"},
    {Qt::Key_Enter, "Enter", "Entrée"},
    {Qt::Key_Escape, "Escape", "Échap"},
    {Qt::Key_F1, "F1", "F1"},
    {Qt::Key_O, "O", "O"},
    {Qt::Key_Q, "Q", "Q"},
};

QString KeyName(QKeyCombination combination, bool french)
{
    QString name;
    if (combination.keyboardModifiers() & Qt::ControlModifier)
        name += QStringLiteral("Ctrl+");
    if (combination.keyboardModifiers() & Qt::AltModifier)
        name += QStringLiteral("Alt+");
    for (const TKeyName &k : kKeyNames)
        if (k.Key == combination.key())
            return name + QString::fromUtf8(french ? k.French : k.English);
    return name + QString::number(int(combination.key()));
}

QStringList KeyNames(const TKeyBinding &binding, bool french)
{
    QStringList names;
    for (const QKeyCombination &k : binding.Keys)
        if (k != kNone && !names.contains(KeyName(k, french)))
            names << KeyName(k, french);
    return names;
}

QString Sentence(TKeyPlace place)
{
    QStringList parts;
    for (const TKeyBinding &b : kBindings)
        if (b.Place == place)
            parts << FrenchKeyNames(b).join(QStringLiteral(" ou ")) + QStringLiteral(" : ")
                         + QString::fromUtf8(b.French);
    return parts.join(QStringLiteral(" ; "));
}

} // namespace

std::span<const TKeyBinding> KeyBindings()
{
    return kBindings;
}

const TKeyBinding *BindingOf(TKeyCommand command)
{
    for (const TKeyBinding &b : kBindings)
        if (b.Command == command)
            return &b;
    return nullptr;
}

TKeyCommand KeyCommand(int key, Qt::KeyboardModifiers modifiers)
{
    const QKeyCombination pressed(modifiers & ~Qt::KeypadModifier, Qt::Key(key));
    if (pressed == kNone)
        return TKeyCommand::None;
    for (const TKeyBinding &b : kBindings)
        if (b.Place == TKeyPlace::MainWindow && std::ranges::find(b.Keys, pressed) != std::end(b.Keys))
            return b.Command;
    return TKeyCommand::None;
}

bool RepeatsWhileHeld(TKeyCommand command)
{
    const TKeyBinding *b = BindingOf(command);
    return b != nullptr && b->Repeats;
}

QStringList EnglishKeyNames(const TKeyBinding &binding)
{
    return KeyNames(binding, false);
}

QStringList FrenchKeyNames(const TKeyBinding &binding)
{
    return KeyNames(binding, true);
}

QString CommandKeys(TKeyCommand command)
{
    const TKeyBinding *b = BindingOf(command);
    return b != nullptr ? FrenchKeyNames(*b).join(QStringLiteral(", ")) : QString();
}

QString KeysDescription()
{
    return QStringLiteral("Touches : ") + Sentence(TKeyPlace::MainWindow) + QStringLiteral(".");
}

int SteppedSlice(int current, int count, int step)
{
    if (count <= 0)
        return -1;
    if (current < 0 || current >= count)
        return step > 0 ? 0 : count - 1;
    return ((current + step) % count + count) % count;
}
