#pragma once
// The program's keys, each described once: the table below gives the main
// window's commands; the window's reactions,
// its buttons' accelerators, its description for screen readers, and (checked
// by a test) the README and the manual page all follow from it.
#include <QKeyCombination>
#include <QString>
#include <span>

enum class TKeyCommand {
    None,
    Parent,
    Folder,
    Help,
    Quit,
    NextSlice,
    PreviousSlice,
    OpenSlice,
    HideTip,
};

enum class TKeyPlace { MainWindow };

struct TKeyBinding {
    TKeyCommand Command;
    TKeyPlace Place;
    // The keys as pressed; an empty combination ends the list early. Keypad
    // keys count as their main-block twins.
    QKeyCombination Keys[2];
    // A held key steps on; the others act once per press.
    bool Repeats;
    // What it does, in the window's description (UTF-8).
    const char *French;
};

// Every key, the main window's first, in the order the documents list them.
std::span<const TKeyBinding> KeyBindings();

// The binding of a command; nullptr for None.
const TKeyBinding *BindingOf(TKeyCommand command);

// The main window's command for a key press; None for a key it leaves to
// others, the desktop's own shortcuts among them.
TKeyCommand KeyCommand(int key, Qt::KeyboardModifiers modifiers);

// True for the commands a held key repeats (stepping through the slices); the
// others run once per press, so a held Backspace does not climb to the root.
bool RepeatsWhileHeld(TKeyCommand command);

// A binding's keys as the README and the manual page name them
// ({"Backspace", "Alt+Up"}), and as a screen reader is told them in French
// ({"Retour arrière", "Alt+Haut"}); Return and Enter are one "Enter".
QStringList EnglishKeyNames(const TKeyBinding &binding);
QStringList FrenchKeyNames(const TKeyBinding &binding);

// A command's keys for its button's accelerator: "Retour arrière, Alt+Haut".
QString CommandKeys(TKeyCommand command);

// Every key of the main window in one French sentence.
QString KeysDescription();

// The slice chosen after `current` (-1 for none) when stepping by `step` (+1 or
// -1) among `count` slices, wrapping round: from none the first step forward
// gives 0 and backward the last. -1 when there is no slice.
int SteppedSlice(int current, int count, int step);
