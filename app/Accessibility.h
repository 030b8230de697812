#pragma once
// What a screen reader is told: the image buttons are buttons named after
// their tips, the folder box and its browse button carry their hints, the pie
// is named and described by its largest slices in the hover read-out's words
// when a reader asks, each slice is an item of its own, and the slice the keys
// choose takes the accessible focus.
#include <QLocale>
#include <QString>
#include <functional>
#include <span>

class QWidget;

// The pie's accessible name.
QString ChartAccessibleName();

// How many slices the pie's description reads out before it says how many more.
constexpr int kDescribedSlices = 10;

// The pie's description: its largest slices first (equal sizes in listing
// order), one a line in the read-out's words ("name=size unit"), at most
// `limit` of them, then how many more there are; empty for no slice.
// `label(i)` is slice i's label for the screen, asked only of those read out.
QString PieDescription(std::span<const double> kilobytes, const std::function<QString(int)> &label,
                       int limit = kDescribedSlices, const QLocale &locale = QLocale());

// Makes every image button a button for assistive tools: its tip as its name
// unless one is set, the tip as description when it says something else, its
// keys (SetAccelerator) and a press action. Safe to call more than once;
// takes effect for interfaces created afterwards.
void InstallAccessibleControls();

// The keys that run what `control` does, told as its accelerator.
void SetAccelerator(QWidget *control, const QString &keys);

// Names the image buttons of `window` after their tips as they are now (a tip
// that later changes then shows as the description), its folder boxes and
// their browse buttons after their hints, and its chart after the pie.
void NameForScreenReaders(QWidget *window);

// Tells assistive tools that slice `index` of the chart's pie is the chosen
// one: it takes the accessible focus, named as the read-out words it, while
// the chart's window is active (with a dialog open, the dialog has it). -1
// chooses none and tells nothing.
void AnnounceSlice(QWidget *chart, int index);

// Tells assistive tools again that the chosen slice has the focus, when its
// window is active: for a window that gets the keyboard back.
void RetellChosenSlice(QWidget *chart);
