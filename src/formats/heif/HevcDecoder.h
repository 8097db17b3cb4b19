// HEVC pictures inside HEIC decoded by libde265 on all cores, one picture at
// a time in the process: registered with libheif as its preferred HEVC
// decoder, giving the planes libheif's own decoder gives. Without libde265
// at build time libheif decodes them itself.
#pragma once

#include <mutex>

namespace corvalin {

// Held while one HEVC picture is decoded and converted: one 12-megapixel
// decode holds about 70 MB (libde265's picture, its filtered copy and data
// per block, and libheif's planes), so a parallel run decoding one picture
// per worker would far exceed its memory bound; libde265 decodes a picture
// coded in rows (x265's default) on all cores, so one decode at a time costs
// little. Without libde265 nothing is held: libheif decodes in one thread.
std::unique_lock<std::mutex> HoldHevcDecoding();
// Hands the memory freed by a decode back to the system. The decode's
// blocks lie in the heaps of several threads (the worker's, libde265's),
// each of which glibc keeps at its peak: in a parallel run of two workers
// on twelve 12-megapixel HEIC files the peak resident memory was 177 MB
// without this, 121 MB with it.
void ReturnFreedMemory();

// Registers the decoder with libheif, the first call only.
void UseParallelHevcDecoder();

}  // namespace corvalin
