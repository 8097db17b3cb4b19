// The resolution of a PNG file: the pHYs chunk, pixels per metre across and
// down with a unit byte.
#pragma once

namespace corvalin {

class TPNGImage;
struct TPictureMetadata;

// Pixels per inch from the file's pHYs chunk into metadata, when the chunk
// is whole and its unit is the metre (unit 0 states only an aspect ratio).
void ReadResolution(const TPNGImage& png, TPictureMetadata& metadata);

// Puts a pHYs chunk with the metadata's resolution behind the header, when
// it states one.
void AddResolution(TPNGImage& png, const TPictureMetadata& metadata);

}  // namespace corvalin
