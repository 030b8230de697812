#include "app/Keys.h"

#include <QStringList>
#include <algorithm>
#include <numeric>

namespace {

constexpr QKeyCombination kNone{};

constexpr TKeyBinding kBindings[] = {
    {TKeyCommand::Parent, TKeyPlace::MainWindow, {Qt::Key_Backspace, Qt::ALT | Qt::Key_Up}, false, "dossier parent"},
    {TKeyCommand::Folder, TKeyPlace::MainWindow, {Qt::CTRL | Qt::Key_O, kNone}, false, "choix du dossier"},
    {TKeyCommand::Help, TKeyPlace::MainWindow, {Qt::Key_F1, kNone}, false, "aide"},
    {TKeyCommand::Quit, TKeyPlace::MainWindow, {Qt::CTRL | Qt::Key_Q, kNone}, false, "quitter"},
    {TKeyCommand::NextSlice, TKeyPlace::MainWindow, {Qt::Key_Right, Qt::Key_Down}, true, "secteur suivant"},
    {TKeyCommand::PreviousSlice, TKeyPlace::MainWindow, {Qt::Key_Left, Qt::Key_Up}, true, "secteur précédent"},
    {TKeyCommand::LargestSlice, TKeyPlace::MainWindow, {Qt::Key_Home, kNone}, false, "le plus grand secteur"},
    {TKeyCommand::SmallestSlice, TKeyPlace::MainWindow, {Qt::Key_End, kNone}, false, "le plus petit secteur"},
    {TKeyCommand::NextSmaller, TKeyPlace::MainWindow, {Qt::Key_PageDown, kNone}, true, "secteur plus petit suivant"},
    {TKeyCommand::NextLarger, TKeyPlace::MainWindow, {Qt::Key_PageUp, kNone}, true, "secteur plus grand suivant"},
    {TKeyCommand::OpenSlice, TKeyPlace::MainWindow, {Qt::Key_Return, Qt::Key_Enter}, false,
     "ouvrir le secteur choisi"},
    {TKeyCommand::HideTip, TKeyPlace::MainWindow, {Qt::Key_Escape, kNone}, false, "cacher la bulle"},
    {TKeyCommand::Browse, TKeyPlace::FolderDialog, {Qt::ALT | Qt::Key_Down, kNone}, false, "parcourir les dossiers"},
    {TKeyCommand::Accept, TKeyPlace::FolderDialog, {Qt::Key_Return, Qt::Key_Enter}, false, "valider"},
    {TKeyCommand::Cancel, TKeyPlace::FolderDialog, {Qt::Key_Escape, kNone}, false, "annuler"},
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
    {Qt::Key_Home, "Home", "Début"},
    {Qt::Key_End, "End", "Fin"},
    {Qt::Key_PageDown, "Page Down", "Page suivante"},
    {Qt::Key_PageUp, "Page Up", "Page précédente"},
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
    return QStringLiteral("Touches : ") + Sentence(TKeyPlace::MainWindow)
           + QStringLiteral(". Dans le choix du dossier : ") + Sentence(TKeyPlace::FolderDialog)
           + QStringLiteral(". L'aide se ferme par la commande de fermeture du gestionnaire de fenêtres ; Échap ne "
                            "la ferme pas.");
}

int SteppedSlice(int current, int count, int step)
{
    if (count <= 0)
        return -1;
    if (current < 0 || current >= count)
        return step > 0 ? 0 : count - 1;
    return ((current + step) % count + count) % count;
}

std::vector<int> SlicesBySize(std::span<const double> sizes)
{
    std::vector<int> order(sizes.size());
    std::iota(order.begin(), order.end(), 0);
    std::ranges::stable_sort(order, [&](int a, int b) { return sizes[std::size_t(a)] > sizes[std::size_t(b)]; });
    return order;
}

int SizeSlice(TKeyCommand command, int current, std::span<const int> bySize)
{
    if (bySize.empty())
        return -1;
    const int last = int(bySize.size()) - 1;
    const auto at = std::ranges::find(bySize, current);
    const int place = at == bySize.end() ? -1 : int(at - bySize.begin());
    int next = place;
    switch (command) {
    case TKeyCommand::LargestSlice:
        next = 0;
        break;
    case TKeyCommand::SmallestSlice:
        next = last;
        break;
    case TKeyCommand::NextSmaller:
        next = place < 0 ? 0 : std::min(place + 1, last);
        break;
    case TKeyCommand::NextLarger:
        next = place < 0 ? last : std::max(place - 1, 0);
        break;
    default:
        return current;
    }
    return bySize[std::size_t(next)];
}
