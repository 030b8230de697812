#pragma once
// What a screen reader is told: the image buttons are buttons named after
// their tips, the folder box and its browse button carry their hints, the pie
// is named and described slice by slice in the hover read-out's words, and the
// slice the keys choose takes the accessible focus.
#include <QLocale>
#include <QString>
#include <vector>

class QWidget;
class TChartSeries;

// One slice as the read-out shows it: its label for the screen, its kilobytes.
struct TSliceReadOut {
    QString Label;
    double Kilobytes = 0;
};

// The pie's accessible name.
QString ChartAccessibleName();

// The slices in order, one per line, each as the hover read-out words it
// ("name=size unit"); empty for no slice.
QString SlicesDescription(const std::vector<TSliceReadOut> &slices, const QLocale &locale = QLocale());

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

// Sets the chart's description to the series' slices.
void DescribePie(QWidget *chart, const TChartSeries &series);

// Tells assistive tools that slice `index` of the chart's pie is the chosen
// one: it takes the accessible focus, named as the read-out words it, while
// the chart's window is active (with a dialog open, the dialog has it). -1
// chooses none and tells nothing.
void AnnounceSlice(QWidget *chart, int index);

// Tells assistive tools again that the chosen slice has the focus, when its
// window is active: for a window that gets the keyboard back.
void RetellChosenSlice(QWidget *chart);
