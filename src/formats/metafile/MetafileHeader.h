// What the first bytes of a metafile say: its kind, its frame and the sizes
// derived from it, and where its records lie. Filled before anything is drawn.
#pragma once

#include <cstdint>
#include <span>

namespace corvalin {

inline constexpr const char* kInvalidMetafile = "Metadatei ist ungültig";

enum class TMetafileKind { Enhanced, Placeable };

struct TMetafileHeader {
    TMetafileKind kind = TMetafileKind::Enhanced;
    // Frame in hundredths of a millimetre: for an enhanced metafile its frame
    // rectangle, for a placeable one the bounding box converted.
    int32_t frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
    // Units per inch of a placeable metafile as stored (0 for enhanced ones).
    uint16_t unitsPerInch = 0;
    // Placeable: the bounding box in the file's own units.
    int16_t boxLeft = 0, boxTop = 0, boxRight = 0, boxBottom = 0;
    // Enhanced: the reference device's size in pixels and in millimetres.
    int32_t devicePixelsX = 0, devicePixelsY = 0;
    int32_t deviceMillimetresX = 0, deviceMillimetresY = 0;
    // Size of the object table the records may fill.
    uint32_t objectCount = 0;
    // The records after the header(s), up to the end of the file.
    std::span<const uint8_t> records;

    // A frame may reach from INT32_MIN to INT32_MAX; its sides need 33 bits.
    int64_t FrameWidth() const { return int64_t(frameRight) - frameLeft; }
    int64_t FrameHeight() const { return int64_t(frameBottom) - frameTop; }
    // The picture's size in pixels at 96 pixels per inch.
    int32_t PixelWidth() const;
    int32_t PixelHeight() const;
};

// Recognises an enhanced metafile by its header or a Windows metafile by its
// placeable header and checksum; anything else throws EInvalidGraphic
// "Metadatei ist ungültig".
TMetafileHeader ReadMetafileHeader(std::span<const uint8_t> file);

}  // namespace corvalin
