#include "KvZoomSteps.h"

#include "KvGraphicsView.h"

int TKvZoom::Thousandths() const { return MulDiv(Numerator, 1000, Denominator); }

TKvZoom NextZoomIn(int currentThousandths)
{
    for (const TKvZoom& step : ZoomSteps)
        if (step.Thousandths() > currentThousandths)
            return step;
    return ZoomSteps.back();
}

TKvZoom NextZoomOut(int currentThousandths)
{
    for (auto step = ZoomSteps.rbegin(); step != ZoomSteps.rend(); ++step)
        if (step->Thousandths() < currentThousandths)
            return *step;
    return ZoomSteps.front();
}

TKvZoom BestFitZoom(QSize picture, QSize view)
{
    if (picture.isEmpty() || view.isEmpty())
        return {1, 1};
    if (double(picture.height()) / view.height() >= double(picture.width()) / view.width())
        return {view.height(), picture.height()};
    return {view.width(), picture.width()};
}

TKvZoom ViewZoom(const TKvGraphicsView& view)
{
    return {view.MapMode().DeviceExtent.x(), view.MapMode().LogicalExtent.x()};
}

void SetViewZoom(TKvGraphicsView& view, TKvZoom zoom)
{
    const QRect client = view.ClientRect();
    const QPoint centre = view.ClientToImage(QPoint(client.width() / 2, client.height() / 2));
    view.MapMode().DeviceExtent = {zoom.Numerator, zoom.Numerator};
    view.MapMode().LogicalExtent = {zoom.Denominator, zoom.Denominator};
    view.CenterOn(centre);
    view.FollowPointer();
}
