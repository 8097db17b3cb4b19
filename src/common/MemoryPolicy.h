#pragma once

namespace corvalin {

// A batch allocates and frees rasters of the same few sizes once per file.
// By default glibc hands every large block straight back to the system, so
// each file would fault all its pages in afresh, which costs more than the
// conversion itself. Keeping freed memory in the heap lets the next file
// reuse it; the peak stays that of one conversion.
void KeepPictureMemoryBetweenFiles();

}  // namespace corvalin
