// A TIFF file's header and one image file directory: the entries sorted by
// tag for a binary search, and typed reads of their values. Every value is
// read from the file's bytes through the bounded cursor; arrays are charged
// against the side-data budget.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/ByteCursor.h"

namespace corvalin {

enum TiffTag : uint16_t {
    ttImageWidth = 256, ttImageLength = 257, ttBitsPerSample = 258, ttCompression = 259,
    ttPhotometric = 262, ttFillOrder = 266, ttStripOffsets = 273, ttSamplesPerPixel = 277,
    ttRowsPerStrip = 278, ttStripByteCounts = 279, ttXResolution = 282, ttYResolution = 283,
    ttPlanarConfig = 284, ttGroup3Options = 292, ttResolutionUnit = 296, ttPredictor = 317,
    ttWhitePoint = 318, ttColorMap = 320, ttTileWidth = 322, ttTileLength = 323, ttTileOffsets = 324,
    ttTileByteCounts = 325, ttExtraSamples = 338, ttJPEGTables = 347, ttYCbCrCoefficients = 529,
    ttYCbCrSubSampling = 530, ttYCbCrPositioning = 531
};

struct TTiffEntry {
    uint16_t Tag = 0;
    uint16_t Type = 0;
    uint32_t Count = 0;
    uint32_t FieldOffset = 0;  // file offset of the entry's 4-byte value field
};

class TTiffDirectory {
public:
    // Reads the 8-byte header; short input throws EReadError.
    explicit TTiffDirectory(std::span<const uint8_t> file);

    TByteOrder Order() const { return order_; }
    uint16_t Version() const { return version_; }

    // Follows the chain of directories to number `index` and reads its
    // entries; false when the chain ends (offset 0) or turns back on itself
    // before it. A directory that does not fit into the file throws EReadError.
    bool Select(uint32_t index);

    // Directories in the chain, each once however it loops, up to the end
    // or one that does not fit.
    size_t DirectoryCount() const;

    bool Has(uint16_t tag) const { return Find(tag) != nullptr; }
    // A single value: BYTE, SHORT, SSHORT, LONG or SLONG with count 1;
    // otherwise, or when the tag is missing, the default.
    uint32_t Value(uint16_t tag, uint32_t fallback) const;
    // Every value of an integer entry in file order (empty when missing).
    std::vector<uint32_t> Values(uint16_t tag) const;
    // Value `index` of a RATIONAL or SRATIONAL array (or of an integer
    // entry); the default when missing, short, or divided by zero.
    double Rational(uint16_t tag, uint32_t index, double fallback) const;
    // The entry's raw value bytes (count x type size), in the file's order.
    std::span<const uint8_t> Raw(uint16_t tag) const;

private:
    const TTiffEntry* Find(uint16_t tag) const;
    // The offset when a directory's table and link lie in the file, else 0.
    uint32_t FittingDirectory(uint32_t offset) const;
    // The fitting directory the one at `offset` (which fits) links to, or 0.
    uint32_t NextDirectory(uint32_t offset) const;
    std::span<const uint8_t> ValueBytes(const TTiffEntry& entry) const;
    void ReadEntries(uint32_t offset);

    std::span<const uint8_t> file_;
    TByteOrder order_;
    uint16_t version_;
    uint32_t firstOffset_;
    std::vector<TTiffEntry> entries_;
    mutable int64_t sideBytes_ = 0;  // decoded arrays handed out so far
};

// Bytes of one value of a TIFF field type; 0 for an unknown type.
uint32_t TiffTypeSize(uint16_t type);

}  // namespace corvalin
