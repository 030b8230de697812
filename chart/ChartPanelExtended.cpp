#include "chart/ChartPanelExtended.h"

TCustomChartPanelExtended::TCustomChartPanelExtended(QWidget *parent) : TCustomChartPanel(parent)
{
    FinishConstruction();
}

void TCustomChartPanelExtended::DrawBackImage(const TRect &rect)
{
    if (!BackImage.isNull() && !BackImageInside)
        ChartCanvas()->StretchGraphic(rect, BackImage);
}

void TCustomChartPanelExtended::FillPanelBackground(const TRect &rect)
{
    if (Gradient.Visible) {
        ChartCanvas()->GradientFill(rect, Gradient.StartColor, Gradient.EndColor, Gradient.Vertical);
        return;
    }
    TBrush &b = ChartCanvas()->Brush();
    b.SetBitmap(QImage());
    b.SetColor(Color());
    b.SetStyle(TBrushStyle::bsSolid);
    ChartCanvas()->FillBackground(rect);
}

void TCustomChartPanelExtended::DrawPanelBackground(const TRect &rect)
{
    FillPanelBackground(rect);
    DrawBackImage(rect);
    DrawBevels(rect);
}
