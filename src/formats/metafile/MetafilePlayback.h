// Playing a metafile's records onto a canvas.
#pragma once

#include "formats/metafile/MetafileHeader.h"
#include "picture/Canvas.h"

namespace corvalin {

// Plays the records into target (canvas pixels), the metafile's frame
// filling it exactly. Unknown records are skipped, and so is a record whose
// fields run past its end; a record whose size runs past the data ends the
// drawing.
void PlayMetafile(const TMetafileHeader& header, TCanvas& canvas, const TRect& target);

void PlayWindowsRecords(const TMetafileHeader& header, TCanvas& canvas, const TRect& target);
void PlayEnhancedRecords(const TMetafileHeader& header, TCanvas& canvas, const TRect& target);

}  // namespace corvalin
