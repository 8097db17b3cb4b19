#include "picture/Graphic.h"

#include "picture/Bitmap.h"

namespace corvalin {

void TGraphic::Draw(TCanvas& canvas, const TRect& rect) const
{
    TBitmap rendered;
    AssignTo(rendered);
    rendered.Draw(canvas, rect);
}

}  // namespace corvalin
