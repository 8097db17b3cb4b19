#pragma once

namespace corvalin {

// A batch allocates and frees buffers of the same few sizes once per file.
// By default glibc hands every block above 128 KB straight back to the
// system, so each file would fault all its pages in afresh, which costs more
// than the conversion itself. Keeping freed memory in the heap lets the next
// file reuse it. (Pictures and whole files, a megabyte and more, are kept
// apart from the heap in common/LargeBlocks.h.)
void KeepPictureMemoryBetweenFiles();

}  // namespace corvalin
