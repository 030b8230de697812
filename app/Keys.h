#pragma once
// The program's keys, each described once: the table below gives the main
// window's commands and the folder dialog's keys; the window's reactions,
// its buttons' accelerators, its description for screen readers, and (checked
// by a test) the README and the manual page all follow from it.
#include <QKeyCombination>
#include <QString>
#include <span>
#include <vector>

enum class TKeyCommand {
    None,
    Parent,
    Folder,
    Help,
    Quit,
    NextSlice,
    PreviousSlice,
    LargestSlice,
    SmallestSlice,
    NextSmaller,
    NextLarger,
    OpenSlice,
    HideTip,
    // The folder dialog's own keys, listed so that users hear of them.
    Browse,
    Accept,
    Cancel,
};

enum class TKeyPlace { MainWindow, FolderDialog };

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

// Every key of the program's windows in French sentences: the main window's,
// the folder dialog's, and how the help closes.
QString KeysDescription();

// The slice chosen after `current` (-1 for none) when stepping by `step` (+1 or
// -1) among `count` slices, wrapping round: from none the first step forward
// gives 0 and backward the last. -1 when there is no slice.
int SteppedSlice(int current, int count, int step);

// The slices' indices from the largest to the smallest, equal sizes in
// listing order.
std::vector<int> SlicesBySize(std::span<const double> sizes);

// The slice a size key chooses after `current` (-1 for none) in `bySize`
// (from SlicesBySize): LargestSlice and SmallestSlice its ends, NextSmaller
// and NextLarger the neighbour, staying at an end; from none NextSmaller
// gives the largest and NextLarger the smallest. -1 when there is no slice.
int SizeSlice(TKeyCommand command, int current, std::span<const int> bySize);
