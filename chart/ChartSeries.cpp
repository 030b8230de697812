#include "chart/ChartSeries.h"

#include "chart/ChartErrors.h"

#include <QLocale>
#include <cmath>

TChartSeries::TChartSeries(QObject *owner)
    : QObject(owner), FXValues(std::make_unique<TChartValueList>(this, QStringLiteral("X "))),
      FYValues(std::make_unique<TChartValueList>(this, QStringLiteral("Y ")))
{
    FXValues->Order = TChartListOrder::loAscending;
    FValueLists = {FXValues.get(), FYValues.get()};
}

TChartSeries::~TChartSeries()
{
    if (FParentChart)
        FParentChart->RemoveSeries(this);
}

void TChartSeries::SetActive(bool v)
{
    if (v == FActive)
        return;
    FActive = v;
    RequestRepaint();
}

void TChartSeries::SetSeriesColor(TColor c)
{
    if (c == FSeriesColor)
        return;
    FSeriesColor = c;
    RequestRepaint();
}

void TChartSeries::SetColorEachPoint(bool v)
{
    if (v == FColorEachPoint)
        return;
    FColorEachPoint = v;
    RequestRepaint();
    if (!v) {
        for (int i = 0; i < PointCount(); ++i) {
            SetPointColor(i, clAutoColor);
            RequestRepaint();
        }
    }
}

void TChartSeries::SetPointColor(int i, TColor c)
{
    if (i < 0)
        throw EListError(i);
    if (std::size_t(i) >= FColors.size())
        FColors.resize(std::size_t(i) + 1, clAutoColor);
    FColors[std::size_t(i)] = c;
}

void TChartSeries::SetParentChart(IChartParent *chart)
{
    if (chart == FParentChart)
        return;
    if (FParentChart)
        FParentChart->RemoveSeries(this);
    FParentChart = chart;
    if (FParentChart)
        FParentChart->AddSeries(this);
}

void TChartSeries::RequestRepaint()
{
    if (FParentChart && FSuppressRepaint == 0)
        FParentChart->Invalidate();
}

void TChartSeries::ClearStorage()
{
    for (TChartValueList *list : FValueLists)
        list->ClearAll();
    FColors.clear();
    FLabels.Clear();
    Marks.Positions.clear();
}

void TChartSeries::BeginDrawPoints()
{
    if (BeforeDrawValues)
        BeforeDrawValues(this);
}

void TChartSeries::EndDrawPoints()
{
    if (AfterDrawValues)
        AfterDrawValues(this);
}

void TChartSeries::DrawAllPoints()
{
    int first = 0, last = -1;
    if (!CalcFirstLastVisible(first, last))
        return;
    for (int i = first; i <= last; ++i)
        DrawPoint(i);
}

bool TChartSeries::CalcFirstLastVisible(int &first, int &last) const
{
    first = 0;
    last = PointCount() - 1;
    return last >= 0;
}

TColor TChartSeries::ColorAt(int i) const
{
    if (i < 0)
        throw EListError(i);
    if (std::size_t(i) >= FColors.size())
        return FSeriesColor;
    const TColor k = FColors[std::size_t(i)];
    if (k != clAutoColor)
        return k;
    if (FColorEachPoint)
        return DefaultPalette[std::size_t(i) % DefaultPalette.size()];
    return FSeriesColor;
}

std::string TChartSeries::LabelAt(int i) const
{
    if (i < 0)
        throw EListError(i);
    return FLabels.At(std::size_t(i));
}

void TChartSeries::PointAdded(int index)
{
    if (OnAfterAdd)
        OnAfterAdd(this, index);
    if (FActive)
        RequestRepaint();
}

int TChartSeries::AddPoint(double value, const std::string &label, TColor color)
{
    const double position = double(PointCount());
    if (&MainValueList() == FYValues.get())
        return AddPointXY(position, value, label, color);
    return AddPointXY(value, position, label, color);
}

int TChartSeries::AddPointXY(double x, double y, const std::string &label, TColor color)
{
    FXValues->TempValue = x;
    FYValues->TempValue = y;
    if (OnBeforeAdd && !OnBeforeAdd(this))
        return -1;
    const int index = FXValues->InsertInOrder(x);
    FYValues->InsertAt(index, y);
    if (std::size_t(index) > FColors.size())
        FColors.resize(std::size_t(index), clAutoColor);
    FColors.insert(FColors.begin() + index, color);
    FLabels.Insert(std::size_t(index), label);
    PointAdded(index);
    return index;
}

void TChartSeries::ClearPoints()
{
    ClearStorage();
    if (OnClearValues)
        OnClearValues(this);
    if (FActive && FParentChart && !FParentChart->IsDestroying())
        RequestRepaint();
}

void TChartSeries::DeletePoint(int i)
{
    for (TChartValueList *list : FValueLists)
        list->DeleteAt(i);
    if (std::size_t(i) < FColors.size())
        FColors.erase(FColors.begin() + i);
    FLabels.Erase(std::size_t(i));
    if (std::size_t(i) < Marks.Positions.size())
        Marks.Positions.erase(Marks.Positions.begin() + i);
    if (FActive)
        RequestRepaint();
}

void TChartSeries::SwapPoints(int a, int b)
{
    for (TChartValueList *list : FValueLists)
        list->Swap(a, b);
    const std::size_t need = std::size_t(std::max(a, b)) + 1;
    if (FColors.size() < need)
        FColors.resize(need, clAutoColor);
    std::swap(FColors[std::size_t(a)], FColors[std::size_t(b)]);
    FLabels.Swap(std::size_t(a), std::size_t(b));
}

std::string TChartSeries::LegendText(int legendIndex, TLegendTextStyle style) const
{
    const int i = LegendToValueIndex(legendIndex);
    const std::string text = LabelAt(i);
    if (style == TLegendTextStyle::ltsPlain)
        return text;
    if (style == TLegendTextStyle::ltsXValue)
        return FormatChartValue(FValueFormat, XValueAt(i)).toStdString();
    const double v = MainValueList().ValueAt(i);
    const std::string valueText = FormatChartValue(FValueFormat, v).toStdString();
    const double abs = MainValueList().AbsSum();
    const double percent = abs == 0 ? 100.0 : v * 100.0 / abs;
    const std::string percentText = FormatChartValue(FPercentFormat, percent).toStdString();
    switch (style) {
    case TLegendTextStyle::ltsLeftValue: return valueText + " " + text;
    case TLegendTextStyle::ltsRightValue: return text + " " + valueText;
    case TLegendTextStyle::ltsLeftPercent: return percentText + " " + text;
    case TLegendTextStyle::ltsRightPercent: return text + " " + percentText;
    default: return text;
    }
}

void TChartSeries::SetPercentFormat(const QString &v)
{
    if (v != FPercentFormat) {
        FPercentFormat = v;
        RequestRepaint();
    }
}

void TChartSeries::SetValueFormat(const QString &v)
{
    if (v != FValueFormat) {
        FValueFormat = v;
        RequestRepaint();
    }
}

bool TChartSeries::ClickSeriesValue(int valueIndex, TMouseButton button, TShiftState shift, int x, int y)
{
    // The panel's own flag, so that a press arriving while OnClick runs is swallowed.
    IChartParent *chart = ParentChart();
    bool local = false;
    auto setConsumed = [&](bool v) {
        if (chart)
            chart->SetClickConsumedFlag(v);
        else
            local = v;
    };
    setConsumed(false);
    if ((shift & ssDouble) && OnDblClick) {
        setConsumed(true);
        OnDblClick(this, valueIndex, button, shift, x, y);
    } else if (OnClick) {
        setConsumed(true);
        OnClick(this, valueIndex, button, shift, x, y);
    }
    return chart ? chart->ClickConsumedFlag() : local;
}

QString FormatChartValue(const QString &pattern, double value)
{
    int end = 0;
    while (end < pattern.size() && QStringLiteral("#0,.").contains(pattern[end]))
        ++end;
    const QString number = pattern.left(end);
    const QString suffix = pattern.mid(end);
    const int dot = number.indexOf(QLatin1Char('.'));
    const QString decimals = dot < 0 ? QString() : number.mid(dot + 1);
    const int required = int(decimals.count(QLatin1Char('0')));
    QLocale locale;
    locale.setNumberOptions(number.contains(QLatin1Char(',')) ? QLocale::DefaultNumberOptions
                                                             : QLocale::OmitGroupSeparator);
    QString text = locale.toString(value, 'f', int(decimals.size()));
    // Optional decimals ('#') are dropped when they are zeros.
    const QString point = locale.decimalPoint();
    if (decimals.size() > required && text.contains(point)) {
        int keep = int(decimals.size());
        while (keep > required && text.endsWith(QLatin1Char('0'))) {
            text.chop(1);
            --keep;
        }
        if (keep == 0 && text.endsWith(point))
            text.chop(point.size());
    }
    return text + suffix;
}
