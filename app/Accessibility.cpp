#include "app/Accessibility.h"

#include "chart/Chart.h"
#include "chart/ChartSeries.h"
#include "widgets/FreeBtn.h"
#include "widgets/LocaleNames.h"
#include "widgets/PathEdit.h"
#include "chart/PieSeries.h"
#include "app/SizeText.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <vector>

namespace {

// The dynamic property that holds a control's keys.
constexpr const char *kAccelerator = "quintavoAccelerator";

class TFreeBtnAccessible final : public QAccessibleWidget {
public:
    explicit TFreeBtnAccessible(TFreeBtn *button) : QAccessibleWidget(button, QAccessible::Button) {}

    // The tip (also the widget's tool tip) is the name unless one is set, and
    // the description only when it says something else.
    QString text(QAccessible::Text t) const override
    {
        const TFreeBtn *b = Button();
        switch (t) {
        case QAccessible::Name:
            return b->accessibleName().isEmpty() ? b->Hint() : b->accessibleName();
        case QAccessible::Description:
            if (!b->accessibleDescription().isEmpty())
                return b->accessibleDescription();
            return b->Hint() != text(QAccessible::Name) ? b->Hint() : QString();
        case QAccessible::Accelerator:
            return b->property(kAccelerator).toString();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString &action) override
    {
        if (action != pressAction())
            return QAccessibleWidget::doAction(action);
        // The click may open a modal dialog or walk a folder: it runs after the
        // assistive tool's request has been answered.
        QPointer<TFreeBtn> button = Button();
        QTimer::singleShot(0, button, [button] {
            if (button && button->isEnabled() && button->OnClick)
                button->OnClick(button);
        });
    }

private:
    TFreeBtn *Button() const { return static_cast<TFreeBtn *>(widget()); }
};

// The pie's first series, or none.
TChartSeries *PieOf(const TChart *chart)
{
    return chart != nullptr && chart->SeriesCount() > 0 ? chart->SeriesAt(0) : nullptr;
}

class TChartAccessible;

// One slice for assistive tools, named as the read-out words it and placed at
// its middle point. It reads the pie as it is now; past the pie's end it is
// no longer valid.
class TSliceAccessible final : public QAccessibleInterface {
public:
    TSliceAccessible(TChart *chart, int index) : FChart(chart), FIndex(index) {}

    bool isValid() const override
    {
        const TChartSeries *pie = PieOf(FChart);
        return pie != nullptr && FIndex < pie->PointCount();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return FChart ? FChart->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return FChart ? QAccessible::queryAccessibleInterface(FChart) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return {};
        const TChartSeries *pie = PieOf(FChart);
        return SliceTipText(DisplayName(pie->LabelAt(FIndex)), pie->YValueAt(FIndex));
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        if (const auto *pie = dynamic_cast<const TPieSeries *>(PieOf(FChart)))
            if (const std::optional<QPoint> at = pie->SliceMiddlePoint(FIndex))
                return QRect(FChart->mapToGlobal(*at), QSize(1, 1));
        return QRect(FChart->mapToGlobal(QPoint(0, 0)), FChart->size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;

    const TChart *Chart() const { return FChart; }
    int Index() const { return FIndex; }

private:
    QPointer<TChart> FChart;
    int FIndex;
};

// The pie: named, described by its largest slices, with one child per slice;
// the slice the keys chose has the accessible focus.
class TChartAccessible final : public QAccessibleWidget {
public:
    explicit TChartAccessible(TChart *chart) : QAccessibleWidget(chart, QAccessible::Chart) {}
    // The slices' interfaces belong to Qt's cache, which is told to drop them here.
    ~TChartAccessible() override
    {
        for (const auto &[index, id] : FSlices)
            QAccessible::deleteAccessibleInterface(id);
    }

    // Made when a reader asks, from the pie as it is then: a folder of a
    // million sub-folders costs nothing here until then.
    QString text(QAccessible::Text t) const override
    {
        const TChartSeries *pie = PieOf(Chart());
        if (t != QAccessible::Description || !Chart()->accessibleDescription().isEmpty() || pie == nullptr)
            return QAccessibleWidget::text(t);
        std::vector<double> kilobytes(std::size_t(pie->PointCount()));
        for (int i = 0; i < pie->PointCount(); ++i)
            kilobytes[std::size_t(i)] = pie->YValueAt(i);
        return PieDescription(kilobytes, [pie](int i) { return DisplayName(pie->LabelAt(i)); });
    }

    int childCount() const override
    {
        const TChartSeries *pie = PieOf(Chart());
        return pie != nullptr ? pie->PointCount() : 0;
    }
    // A slice's item is made the first time it is asked for, and kept.
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        auto [at, made] = FSlices.try_emplace(index, 0);
        if (made)
            at->second = QAccessible::registerAccessibleInterface(new TSliceAccessible(Chart(), index));
        return QAccessible::accessibleInterface(at->second);
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *slice = dynamic_cast<const TSliceAccessible *>(child);
        return slice != nullptr && slice->Chart() == Chart() && slice->isValid() ? slice->Index() : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        TChart *chart = Chart();
        TChartSeries *pie = PieOf(chart);
        if (pie == nullptr)
            return nullptr;
        const QPoint p = chart->mapFromGlobal(QPoint(x, y));
        if (!InsideCircle(p.x(), p.y(), chart->width(), chart->height()))
            return nullptr;
        return child(pie->ValueIndexAt(p.x(), p.y()));
    }
    // The keyboard is elsewhere while another window (a dialog) is active.
    QAccessibleInterface *focusChild() const override { return HasFocus() ? child(Chosen) : nullptr; }
    // True when the chosen slice has the focus: there is one, and its window
    // has the keyboard.
    bool HasFocus() const { return Chosen >= 0 && Chosen < childCount() && Chart()->isActiveWindow(); }

    // The slice the keys chose, -1 for none.
    int Chosen = -1;

private:
    TChart *Chart() const { return static_cast<TChart *>(widget()); }
    mutable std::unordered_map<int, QAccessible::Id> FSlices;
};

QAccessible::State TSliceAccessible::state() const
{
    QAccessible::State s;
    s.focusable = true;
    s.selectable = true;
    s.invisible = !FChart || !FChart->isVisible();
    if (const auto *chart = dynamic_cast<TChartAccessible *>(parent())) {
        s.selected = chart->Chosen == FIndex;
        s.focused = s.selected && chart->HasFocus();
    }
    return s;
}

// The interfaces made here are owned by Qt's accessibility cache, which drops
// each one with its widget.
QAccessibleInterface *ControlFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TFreeBtn"))
        if (auto *button = qobject_cast<TFreeBtn *>(object))
            return new TFreeBtnAccessible(button);
    if (className == QLatin1String("TChart"))
        if (auto *chart = qobject_cast<TChart *>(object))
            return new TChartAccessible(chart);
    return nullptr;
}

} // namespace

QString ChartAccessibleName()
{
    return QStringLiteral("Occupation du dossier");
}

QString PieDescription(std::span<const double> kilobytes, const std::function<QString(int)> &label, int limit,
                       const QLocale &locale)
{
    const int count = int(kilobytes.size());
    const int told = std::clamp(limit, 0, count);
    std::vector<int> order(kilobytes.size());
    std::iota(order.begin(), order.end(), 0);
    // Only the slices read out are put in order: a few among a million.
    std::partial_sort(order.begin(), order.begin() + told, order.end(), [&](int a, int b) {
        const double ka = kilobytes[std::size_t(a)], kb = kilobytes[std::size_t(b)];
        return ka != kb ? ka > kb : a < b;
    });
    QStringList lines;
    for (int k = 0; k < told; ++k)
        lines << SliceTipText(label(order[std::size_t(k)]), kilobytes[std::size_t(order[std::size_t(k)])], locale);
    if (const int more = count - told; more == 1)
        lines << QStringLiteral("et 1 autre secteur");
    else if (more > 1)
        lines << QStringLiteral("et %1 autres secteurs").arg(more);
    return lines.join(QLatin1Char('\n'));
}

void InstallAccessibleControls()
{
    static const bool installed = [] {
        QAccessible::installFactory(ControlFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void SetAccelerator(QWidget *control, const QString &keys)
{
    control->setProperty(kAccelerator, keys);
}

void NameForScreenReaders(QWidget *window)
{
    InstallAccessibleControls();
    for (TFreeBtn *button : window->findChildren<TFreeBtn *>())
        if (button->accessibleName().isEmpty())
            button->setAccessibleName(button->Hint());
    for (TDirectoryEdit *edit : window->findChildren<TDirectoryEdit *>()) {
        edit->setAccessibleName(edit->Hint());
        if (edit->Button())
            edit->Button()->setAccessibleName(edit->ButtonHint());
    }
    for (TChart *chart : window->findChildren<TChart *>())
        chart->setAccessibleName(ChartAccessibleName());
}

void AnnounceSlice(QWidget *chart, int index)
{
    auto *pie = dynamic_cast<TChartAccessible *>(QAccessible::queryAccessibleInterface(chart));
    if (pie == nullptr)
        return;
    pie->Chosen = index;
    RetellChosenSlice(chart);
}

void RetellChosenSlice(QWidget *chart)
{
    auto *pie = dynamic_cast<TChartAccessible *>(QAccessible::queryAccessibleInterface(chart));
    if (pie == nullptr || !pie->HasFocus())
        return;
    QAccessibleEvent event(chart, QAccessible::Focus);
    event.setChild(pie->Chosen);
    QAccessible::updateAccessibility(&event);
}
