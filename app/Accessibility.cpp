#include "Accessibility.h"

#include "Chart.h"
#include "ChartSeries.h"
#include "FreeBtn.h"
#include "PathEdit.h"
#include "SizeText.h"
#include "Unit1.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QStringList>
#include <QTimer>

namespace {

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

// The interfaces made here are owned by Qt's accessibility cache, which drops
// each one with its widget.
QAccessibleInterface *ControlFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TFreeBtn"))
        if (auto *button = qobject_cast<TFreeBtn *>(object))
            return new TFreeBtnAccessible(button);
    if (className == QLatin1String("TChart"))
        if (auto *chart = qobject_cast<TChart *>(object))
            return new QAccessibleWidget(chart, QAccessible::Chart);
    return nullptr;
}

} // namespace

QString ChartAccessibleName()
{
    return QStringLiteral("Occupation du dossier");
}

QString SlicesDescription(const std::vector<TSliceReadOut> &slices, const QLocale &locale)
{
    QStringList lines;
    lines.reserve(qsizetype(slices.size()));
    for (const TSliceReadOut &s : slices)
        lines << SliceTipText(s.Label, s.Kilobytes, locale);
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

void DescribePie(QWidget *chart, const TChartSeries &series)
{
    std::vector<TSliceReadOut> slices;
    for (int i = 0; i < series.PointCount(); ++i)
        slices.push_back({DisplayPath(series.LabelAt(i)), series.YValueAt(i)});
    chart->setAccessibleDescription(SlicesDescription(slices));
}
