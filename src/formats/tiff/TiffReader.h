// TTIFFGraphic: reads the first picture of a TIFF file, stored in strips or
// tiles, interleaved or one plane per sample, uncompressed or compressed with
// PackBits, CCITT modified Huffman, group 3 fax (one-dimensional), LZW,
// deflate, JPEG or ThunderScan.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "formats/metadata/PictureMetadata.h"
#include "formats/reader/Decoder.h"
#include "formats/reader/ReaderGraphic.h"
#include "formats/tiff/TiffDirectory.h"

namespace corvalin {

class TTIFFJPEGDecoder;

class TTIFFGraphic : public TReaderGraphic {
public:
    // "Cannot load image. Invalid or unexpected TIF/TIFF image format." for
    // a file without a usable first picture; "Cannot load image. The
    // compression scheme is not supported for TIF/TIFF files." for a
    // compression without a decoder. The first message also for a file
    // whose blocks can fill less than 1% of a picture above a megabyte.
    void LoadFromBytes(std::span<const uint8_t> file) override;
    bool ReadPictureInfo(std::span<const uint8_t> file, uint32_t index) override;
    // Pictures in the file read last.
    size_t PictureCount() const override { return directory_ ? directory_->DirectoryCount() : 0; }
    // What the file carries beside its pixels (see ReadTiffMetadata).
    static TPictureMetadata ReadMetadata(std::span<const uint8_t> file);

private:
    struct TTiffExtras {
        uint32_t Photometric = 0;
        uint32_t Group3Options = 0;
        std::array<float, 3> Luma{0.299f, 0.587f, 0.114f};
        TChromaticity White = kWhiteD65;
    };

    std::unique_ptr<TDecoder> CreateDecoder();
    void SetupColorManager();
    void SetupPalette();
    void ReadBlocks(std::span<const uint8_t> file);
    bool GreyWithAlpha() const;
    void KeepAlpha();
    uint64_t DeclaredBytes() const;
    uint64_t FillableBytes(size_t fileSize) const;

    std::optional<TTiffDirectory> directory_;
    std::unique_ptr<TDecoder> decoder_;
    TTiffExtras extras_;
    TTIFFJPEGDecoder* jpeg_ = nullptr;  // the decoder when it is the JPEG one
};

// The format table's load path (LoadThroughReader<TTIFFGraphic>) for callers
// that keep no side data: the first picture; returns how many pictures the
// file's directory chain holds.
size_t LoadTiffFile(TBitmap& picture, std::span<const uint8_t> file);

}  // namespace corvalin
