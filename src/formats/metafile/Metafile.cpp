#include "formats/metafile/Metafile.h"

#include <algorithm>
#include <cmath>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"
#include "common/FileIO.h"
#include "common/Stream.h"
#include "formats/BitmapEx.h"
#include "formats/metafile/MetafilePlayback.h"
#include "picture/BmpCodec.h"
#include "picture/Canvas.h"
#include "picture/RowCodec.h"

namespace corvalin {

namespace {

constexpr auto LE = TByteOrder::LittleEndian;
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint16_t kUnitsPerInch = 96;
constexpr double kHundredthsPerInch = 2540;
constexpr uint16_t kWmfHeaderWords = 9;
constexpr uint16_t kMemoryMetafile = 1;
constexpr uint16_t kWmfVersion = 0x0300;
constexpr uint16_t kSetMapMode = 0x0103, kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C, kStretchDib = 0x0F43;
constexpr uint16_t kAnisotropic = 8;
constexpr uint32_t kSourceCopy = 0x00CC0020;
constexpr uint16_t kDibRgbColors = 0;

[[noreturn]] void Invalid()
{
    throw EInvalidGraphic(kInvalidMetafile);
}

// Metafile coordinates are signed 16-bit numbers.
int16_t Coordinate(int64_t value)
{
    if (value < INT16_MIN || value > INT16_MAX)
        Invalid();
    return int16_t(value);
}

std::vector<uint8_t> RecordBytes(uint16_t function, std::span<const uint8_t> params, uint32_t& largestWords)
{
    const uint64_t words = (6 + params.size() + 1) / 2;
    if (words > UINT32_MAX)
        Invalid();
    largestWords = std::max(largestWords, uint32_t(words));
    std::vector<uint8_t> out;
    Put32(out, uint32_t(words), LE);
    Put16(out, function, LE);
    out.insert(out.end(), params.begin(), params.end());
    out.resize(size_t(words) * 2, 0);
    return out;
}

std::vector<uint8_t> Params16(std::initializer_list<int16_t> values)
{
    std::vector<uint8_t> out;
    for (int16_t v : values)
        Put16(out, uint16_t(v), LE);
    return out;
}

// The part of a raster under rect, as device-format rows, and back.
void CopyToDevice(const TRaster& from, const TRect& rect, TRaster& to)
{
    std::vector<uint8_t> scratch(size_t(from.width) * 3);
    for (int y = 0; y < to.height; ++y) {
        const uint8_t* row = RowAsBgr(from, rect.top + y, scratch.data()) + size_t(rect.left) * 3;
        uint8_t* out = to.Row(y);
        for (int x = 0; x < to.width; ++x) {
            out[4 * x] = row[3 * x];
            out[4 * x + 1] = row[3 * x + 1];
            out[4 * x + 2] = row[3 * x + 2];
        }
    }
}

void CopyFromDevice(const TRaster& from, TRaster& to, const TRect& rect)
{
    std::vector<uint8_t> bgr(size_t(to.width) * 3);
    for (int y = 0; y < from.height; ++y) {
        DecodeRowToBgr(to, rect.top + y, bgr.data());
        const uint8_t* in = from.Row(y);
        uint8_t* row = bgr.data() + size_t(rect.left) * 3;
        for (int x = 0; x < from.width; ++x) {
            row[3 * x] = in[4 * x];
            row[3 * x + 1] = in[4 * x + 1];
            row[3 * x + 2] = in[4 * x + 2];
        }
        EncodeRowFromBgr(to, rect.top + y, bgr.data());
    }
}

}  // namespace

void TMetafile::LoadFromBytes(std::vector<uint8_t> bytes)
{
    auto file = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    const TMetafileHeader header = ReadMetafileHeader(*file);
    const int32_t width = header.PixelWidth(), height = header.PixelHeight();
    if (width < 0 || height < 0 || header.FrameWidth() > INT32_MAX || header.FrameHeight() > INT32_MAX)
        Invalid();
    file_ = std::move(file);
    header_ = header;
    recording_.clear();
    width_ = width;
    height_ = height;
    mmWidth_ = int32_t(header.FrameWidth());
    mmHeight_ = int32_t(header.FrameHeight());
    inch_ = header.unitsPerInch;
}

void TMetafile::SetSize(int32_t width, int32_t height)
{
    file_.reset();
    recording_.clear();
    largestRecordWords_ = 0;
    inch_ = 0;
    width_ = width;
    height_ = height;
    // The display's physical size is that of 96 pixels per inch.
    mmWidth_ = int32_t(std::lround(width * kHundredthsPerInch / kUnitsPerInch));
    mmHeight_ = int32_t(std::lround(height * kHundredthsPerInch / kUnitsPerInch));
}

void TMetafile::SaveToStream(TStream& stream) const
{
    const uint16_t inch = inch_ != 0 ? inch_ : kUnitsPerInch;
    const int16_t right = Coordinate(std::lround(mmWidth_ * double(kUnitsPerInch) / kHundredthsPerInch));
    const int16_t bottom = Coordinate(std::lround(mmHeight_ * double(kUnitsPerInch) / kHundredthsPerInch));

    uint32_t largest = largestRecordWords_;
    std::vector<uint8_t> body;
    for (auto record : {RecordBytes(kSetMapMode, Params16({kAnisotropic}), largest),
                        RecordBytes(kSetWindowOrg, Params16({0, 0}), largest),
                        RecordBytes(kSetWindowExt, Params16({bottom, right}), largest)})
        body.insert(body.end(), record.begin(), record.end());
    body.insert(body.end(), recording_.begin(), recording_.end());
    const std::vector<uint8_t> end = RecordBytes(0, {}, largest);
    body.insert(body.end(), end.begin(), end.end());

    std::vector<uint8_t> head;
    Put32(head, kPlaceableKey, LE);
    for (int16_t v : {int16_t(0), int16_t(0), int16_t(0), right, bottom})
        Put16(head, uint16_t(v), LE);
    Put16(head, inch, LE);
    Put32(head, 0, LE);
    uint16_t checksum = 0;
    for (size_t i = 0; i < 20; i += 2)
        checksum ^= Get16(head.data() + i, LE);
    Put16(head, checksum, LE);

    const uint64_t totalWords = kWmfHeaderWords + body.size() / 2;
    if (totalWords > UINT32_MAX)
        Invalid();
    Put16(head, kMemoryMetafile, LE);
    Put16(head, kWmfHeaderWords, LE);
    Put16(head, kWmfVersion, LE);
    Put32(head, uint32_t(totalWords), LE);
    Put16(head, 0, LE);  // objects
    Put32(head, largest, LE);
    Put16(head, 0, LE);  // parameters
    stream.WriteBuffer(head);
    stream.WriteBuffer(body);
}

void TMetafile::Draw(TCanvas& canvas, const TRect& rect) const
{
    TMetafileHeader header = header_;
    TMemoryStream recorded;
    if (file_ == nullptr) {
        SaveToStream(recorded);
        header = ReadMetafileHeader(recorded.Bytes());
    }
    TBitmap& target = canvas.Owner();
    const TRect visible{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, target.Width()),
                        std::min(rect.bottom, target.Height())};
    if (target.Empty() || visible.Width() <= 0 || visible.Height() <= 0)
        return;
    // Played on a device-format copy, where the shapes are drawn in place.
    TBitmap work;
    TRaster& raster = work.NewRaster(visible.Width(), visible.Height(), TPixelFormat::pfDevice);
    CopyToDevice(*target.Raster(), visible, raster);
    PlayMetafile(header, work.Canvas(),
                 TRect{rect.left - visible.left, rect.top - visible.top, rect.right - visible.left,
                       rect.bottom - visible.top});
    CopyFromDevice(*work.Raster(), canvas.Owner().MutableRaster(), visible);
}

void TMetafile::AssignTo(TBitmap& target) const
{
    TBitmapEx drawn;
    drawn.SetPictureHeight(height_);
    drawn.SetPictureWidth(width_);
    drawn.Canvas().DrawPictureAt(0, 0, *this);
    target.AssignPicture(&drawn);
}

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile) : metafile_(metafile) {}

TMetafileCanvas::~TMetafileCanvas()
{
    metafile_.recording_ = std::move(records_);
    metafile_.largestRecordWords_ = largestRecordWords_;
}

void TMetafileCanvas::DrawPictureAt(int32_t x, int32_t y, const TBitmap& picture)
{
    if (picture.Empty())
        return;
    const int16_t width = Coordinate(picture.Width()), height = Coordinate(picture.Height());
    std::vector<uint8_t> params;
    Put32(params, kSourceCopy, LE);
    Put16(params, kDibRgbColors, LE);
    for (int16_t v : {height, width, int16_t(0), int16_t(0), height, width, Coordinate(y), Coordinate(x)})
        Put16(params, uint16_t(v), LE);
    const std::vector<uint8_t> dib = EncodeDib(*picture.Raster());
    params.insert(params.end(), dib.begin(), dib.end());
    Record(kStretchDib, params);
}

void TMetafileCanvas::Record(uint16_t function, const std::vector<uint8_t>& params)
{
    const std::vector<uint8_t> record = RecordBytes(function, params, largestRecordWords_);
    records_.insert(records_.end(), record.begin(), record.end());
}

size_t LoadMetafileFile(TBitmap& picture, std::span<const uint8_t> file, TPictureMetadata& metadata)
{
    TMetafile metafile;
    metafile.LoadFromBytes({file.begin(), file.end()});
    metafile.AssignTo(picture);
    metadata.source.vector = true;
    return 1;
}

void SaveMetafileFile(const TBitmap& picture, const std::string& fileName, int32_t, const TPictureMetadata&)
{
    TMetafile metafile;
    metafile.SetSize(picture.Width(), picture.Height());
    {
        TMetafileCanvas canvas(metafile);
        canvas.DrawPictureAt(0, 0, picture);
    }
    WriteFileAtomically(fileName, [&](TStream& file) { metafile.SaveToStream(file); });
}

}  // namespace corvalin
