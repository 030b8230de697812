#pragma once
// The main window's keys: the command a key press stands for, how the chosen
// slice steps, and the keys in the words a screen reader is given.
#include <QString>
#include <qnamespace.h>

enum class TKeyCommand { None, Parent, Folder, Help, Quit, NextSlice, PreviousSlice, OpenSlice, HideTip };

// The command of a key press in the main window; None for a key the window
// leaves to others, the desktop's own shortcuts among them. Keypad keys count
// as their main-block twins.
TKeyCommand KeyCommand(int key, Qt::KeyboardModifiers modifiers);

// True for the commands a held key repeats (stepping through the slices); the
// others run once per press, so a held Backspace does not climb to the root.
bool RepeatsWhileHeld(TKeyCommand command);

// The slice chosen after `current` (-1 for none) when stepping by `step` (+1 or
// -1) among `count` slices, wrapping round: from none the first step forward
// gives 0 and backward the last. -1 when there is no slice.
int SteppedSlice(int current, int count, int step);

// The keys of one of the main window's buttons, by its name ("ScanBtn" gives
// "Ctrl+O"); empty for a button that has none.
QString ButtonKeys(const QString &buttonName);

// Every key of the main window, in one French sentence.
QString KeysDescription();
