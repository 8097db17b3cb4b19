#include "formats/jpeg/JpegMetadata.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "common/ByteCursor.h"
#include "common/Limits.h"
#include "formats/metadata/Exif.h"

namespace corvalin {

namespace {

// A segment's length field counts itself: 65535 - 2 bytes of data at most.
constexpr size_t kMaxSegmentBytes = 65533;

constexpr uint8_t kSOI = 0xD8, kEOI = 0xD9, kSOS = 0xDA, kTEM = 0x01;
constexpr uint8_t kAPP0 = 0xE0, kAPP1 = 0xE1, kAPP2 = 0xE2, kAPP13 = 0xED, kCOM = 0xFE;

using namespace std::string_view_literals;
constexpr std::string_view kXmp = "http://ns.adobe.com/xap/1.0/\0"sv;
constexpr std::string_view kExtendedXmp = "http://ns.adobe.com/xmp/extension/\0"sv;
constexpr std::string_view kPhotoshop = "Photoshop 3.0\0"sv;
constexpr std::string_view kIcc = "ICC_PROFILE\0"sv;
constexpr std::string_view kJfif = "JFIF\0"sv;
// JFIF: version, then the density unit (1 per inch, 2 per centimetre) and
// the densities across and down.
constexpr size_t kJfifUnitAt = 7, kJfifBytes = 12;
constexpr double kCentimetresPerInch = 2.54;
// The identifier, then the chunk's number (from 1) and the count of chunks.
constexpr size_t kIccChunkHead = kIcc.size() + 2;
constexpr size_t kMaxIccChunkData = kMaxSegmentBytes - kIccChunkHead;
constexpr size_t kMaxIccChunks = 255;

struct TEndOfSegments {};

[[noreturn]] void ThrowEnd()
{
    throw TEndOfSegments{};
}

bool StartsWith(std::span<const uint8_t> bytes, std::string_view prefix)
{
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

bool IsStandalone(uint8_t marker)
{
    return marker == kTEM || (marker >= 0xD0 && marker <= 0xD7);  // RSTn
}

struct TIccChunk {
    uint8_t number = 0;
    uint8_t count = 0;
    std::span<const uint8_t> data;
};

// The profile when the chunks number 1..count exactly once each with one
// count; nothing otherwise.
std::vector<uint8_t> JoinIccChunks(std::vector<TIccChunk> chunks)
{
    if (chunks.empty())
        return {};
    std::sort(chunks.begin(), chunks.end(),
              [](const TIccChunk& a, const TIccChunk& b) { return a.number < b.number; });
    std::vector<uint8_t> profile;
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].count != chunks.size() || chunks[i].number != i + 1)
            return {};
        profile.insert(profile.end(), chunks[i].data.begin(), chunks[i].data.end());
    }
    return profile;
}

class TSegmentReader {
public:
    explicit TSegmentReader(std::span<const uint8_t> file) : in_(file, ThrowEnd) {}

    void ReadAll()
    {
        if (in_.U8() != 0xFF || in_.U8() != kSOI)
            return;
        for (;;) {
            const uint8_t marker = NextMarker();
            if (marker == kSOS || marker == kEOI)
                return;
            if (IsStandalone(marker))
                continue;
            const uint16_t length = in_.U16BE();
            if (length < 2)
                return;
            Keep(marker, in_.Bytes(length - 2u));
        }
    }

    TPictureMetadata Result()
    {
        metadata_.iccProfile = JoinIccChunks(std::move(icc_));
        if (metadata_.iccProfile.empty())
            std::erase(metadata_.jpegOrder, TMetadataPart::IccProfile);
        return std::move(metadata_);
    }

private:
    // Markers may be preceded by any number of 0xFF fill bytes; anything
    // else between segments means the structure is lost.
    uint8_t NextMarker()
    {
        if (in_.U8() != 0xFF)
            ThrowEnd();
        uint8_t marker = in_.U8();
        while (marker == 0xFF)
            marker = in_.U8();
        return marker;
    }

    void Keep(uint8_t marker, std::span<const uint8_t> bytes)
    {
        if (marker == kAPP2 && StartsWith(bytes, kIcc) && bytes.size() >= kIccChunkHead) {
            if (icc_.empty())
                metadata_.jpegOrder.push_back(TMetadataPart::IccProfile);
            if (budget_.Charge(bytes.size()))
                icc_.push_back({bytes[kIcc.size()], bytes[kIcc.size() + 1], bytes.subspan(kIccChunkHead)});
            else
                icc_.push_back({});  // a missing chunk drops the whole profile
            return;
        }
        if (marker == kAPP0 && StartsWith(bytes, kJfif) && bytes.size() >= kJfifBytes)
            KeepDensity(bytes);
        else if (marker == kAPP1 && IsExifSegment(bytes))
            KeepFirst(TMetadataPart::Exif, metadata_.exif, bytes.subspan(sizeof kExifIdentifier));
        else if (marker == kAPP1 && StartsWith(bytes, kXmp))
            KeepFirst(TMetadataPart::Xmp, metadata_.xmp, bytes.subspan(kXmp.size()));
        else if (marker == kAPP1 && StartsWith(bytes, kExtendedXmp))
            KeepExtension(bytes.subspan(kExtendedXmp.size()));
        else if (marker == kAPP13 && StartsWith(bytes, kPhotoshop))
            KeepPhotoshop(bytes.subspan(kPhotoshop.size()));
        else if (marker == kCOM && metadata_.comment.empty() && budget_.Charge(bytes.size()))
            metadata_.comment.assign(bytes.begin(), bytes.end());
    }

    void KeepDensity(std::span<const uint8_t> jfif)
    {
        const uint8_t unit = jfif[kJfifUnitAt];
        const double x = Get16(&jfif[kJfifUnitAt + 1], TByteOrder::BigEndian);
        const double y = Get16(&jfif[kJfifUnitAt + 3], TByteOrder::BigEndian);
        if ((unit != 1 && unit != 2) || x == 0 || y == 0)
            return;
        const double scale = unit == 2 ? kCentimetresPerInch : 1.0;
        metadata_.xPixelsPerInch = x * scale;
        metadata_.yPixelsPerInch = y * scale;
    }

    // A second Exif block or XMP packet is not the picture's: the first counts.
    void KeepFirst(TMetadataPart part, std::vector<uint8_t>& into, std::span<const uint8_t> bytes)
    {
        if (!into.empty() || bytes.empty() || !budget_.Charge(bytes.size()))
            return;
        into.assign(bytes.begin(), bytes.end());
        metadata_.jpegOrder.push_back(part);
    }

    void KeepExtension(std::span<const uint8_t> bytes)
    {
        if (!budget_.Charge(bytes.size()))
            return;
        metadata_.xmpExtension.emplace_back(bytes.begin(), bytes.end());
        metadata_.jpegOrder.push_back(TMetadataPart::XmpExtension);
    }

    // Resources too large for one segment continue in the next ones.
    void KeepPhotoshop(std::span<const uint8_t> bytes)
    {
        if (!budget_.Charge(bytes.size()))
            return;
        if (metadata_.photoshop.empty())
            metadata_.jpegOrder.push_back(TMetadataPart::Photoshop);
        metadata_.photoshop.insert(metadata_.photoshop.end(), bytes.begin(), bytes.end());
    }

    // One file's segments keep no more than the side-data budget; once a
    // segment has not fit, nothing after it is kept.
    class TBudget {
    public:
        bool Charge(size_t count)
        {
            if (exhausted_ || count > left_) {
                exhausted_ = true;
                return false;
            }
            left_ -= count;
            return true;
        }

    private:
        size_t left_ = size_t(kMaxSideDataBytes);
        bool exhausted_ = false;
    };

    TByteCursor in_;
    TBudget budget_;
    TPictureMetadata metadata_;
    std::vector<TIccChunk> icc_;
};

void AddIccChunks(std::vector<TJpegMarker>& markers, std::span<const uint8_t> profile)
{
    const size_t count = (profile.size() + kMaxIccChunkData - 1) / kMaxIccChunkData;
    if (count > kMaxIccChunks || !IsRgbIccProfile(profile))
        return;
    for (size_t i = 0; i < count; ++i) {
        const auto data = profile.subspan(i * kMaxIccChunkData,
                                          std::min(kMaxIccChunkData, profile.size() - i * kMaxIccChunkData));
        TJpegMarker& marker = markers.emplace_back();
        marker.code = kAPP2;
        marker.bytes.assign(kIcc.begin(), kIcc.end());
        marker.bytes.push_back(uint8_t(i + 1));
        marker.bytes.push_back(uint8_t(count));
        marker.bytes.insert(marker.bytes.end(), data.begin(), data.end());
    }
}

// A segment of the identifier and the bytes, when it fits into one.
void AddSegment(std::vector<TJpegMarker>& markers, int code, std::string_view identifier,
                std::span<const uint8_t> bytes)
{
    if (bytes.empty() || identifier.size() + bytes.size() > kMaxSegmentBytes)
        return;
    TJpegMarker& marker = markers.emplace_back();
    marker.code = code;
    marker.bytes.assign(identifier.begin(), identifier.end());
    marker.bytes.insert(marker.bytes.end(), bytes.begin(), bytes.end());
}

// Photoshop resources in as many segments as they need.
void AddPhotoshop(std::vector<TJpegMarker>& markers, std::span<const uint8_t> resources)
{
    constexpr size_t kMaxData = kMaxSegmentBytes - kPhotoshop.size();
    for (size_t at = 0; at < resources.size(); at += kMaxData)
        AddSegment(markers, kAPP13, kPhotoshop, resources.subspan(at, std::min(kMaxData, resources.size() - at)));
}

class TMarkerWriter {
public:
    TMarkerWriter(const TPictureMetadata& metadata, int32_t width, int32_t height)
        : metadata_(metadata), width_(width), height_(height)
    {
    }

    void Add(TMetadataPart part)
    {
        const auto bit = uint32_t(1) << unsigned(part);
        if (part != TMetadataPart::XmpExtension && (written_ & bit) != 0)
            return;
        written_ |= bit;
        switch (part) {
        case TMetadataPart::Exif:
            if (!metadata_.exif.empty())
                AddSegment(markers_, kAPP1, {reinterpret_cast<const char*>(kExifIdentifier), sizeof kExifIdentifier},
                           ExifForPicture(metadata_.exif, width_, height_));
            break;
        case TMetadataPart::Xmp: AddSegment(markers_, kAPP1, kXmp, metadata_.xmp); break;
        case TMetadataPart::XmpExtension:
            if (extensions_ < metadata_.xmpExtension.size())
                AddSegment(markers_, kAPP1, kExtendedXmp, metadata_.xmpExtension[extensions_++]);
            break;
        case TMetadataPart::Photoshop: AddPhotoshop(markers_, metadata_.photoshop); break;
        case TMetadataPart::IccProfile: AddIccChunks(markers_, metadata_.iccProfile); break;
        case TMetadataPart::Comment:
            AddSegment(markers_, kCOM, {},
                       {reinterpret_cast<const uint8_t*>(metadata_.comment.data()), metadata_.comment.size()});
            break;
        }
    }

    void AddRemainingExtensions()
    {
        while (extensions_ < metadata_.xmpExtension.size())
            Add(TMetadataPart::XmpExtension);
    }

    std::vector<TJpegMarker> Result() { return std::move(markers_); }

private:
    const TPictureMetadata& metadata_;
    int32_t width_;
    int32_t height_;
    uint32_t written_ = 0;
    size_t extensions_ = 0;
    std::vector<TJpegMarker> markers_;
};

}  // namespace

TPictureMetadata ReadJpegMetadata(std::span<const uint8_t> file)
{
    TSegmentReader reader(file);
    try {
        reader.ReadAll();
    } catch (const TEndOfSegments&) {
        // Damaged or cut short: keep what came before.
    }
    return reader.Result();
}

TJpegDensity JpegDensityFor(const TPictureMetadata& metadata)
{
    const double x = std::round(metadata.xPixelsPerInch);
    const double y = std::round(metadata.yPixelsPerInch);
    constexpr double kLargest = 65535;
    if (!(x >= 1 && x <= kLargest && y >= 1 && y <= kLargest))
        return {};
    return {1, uint16_t(x), uint16_t(y)};
}

std::vector<TJpegMarker> JpegMarkersFor(const TPictureMetadata& metadata, int32_t width,
                                        int32_t height)
{
    TMarkerWriter writer(metadata, width, height);
    for (const TMetadataPart part : metadata.jpegOrder)
        writer.Add(part);
    for (const TMetadataPart part : {TMetadataPart::Exif, TMetadataPart::IccProfile, TMetadataPart::Xmp,
                                     TMetadataPart::Photoshop, TMetadataPart::Comment})
        writer.Add(part);
    writer.AddRemainingExtensions();
    return writer.Result();
}

}  // namespace corvalin
