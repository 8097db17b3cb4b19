#include "formats/jpeg/JpegMetadata.h"

#include <algorithm>
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
constexpr uint8_t kAPP1 = 0xE1, kAPP2 = 0xE2, kAPP13 = 0xED;

using namespace std::string_view_literals;
constexpr std::string_view kXmp = "http://ns.adobe.com/xap/1.0/\0"sv;
constexpr std::string_view kExtendedXmp = "http://ns.adobe.com/xmp/extension/\0"sv;
constexpr std::string_view kPhotoshop = "Photoshop 3.0\0"sv;
constexpr std::string_view kIcc = "ICC_PROFILE\0"sv;
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

bool IsKept(uint8_t marker, std::span<const uint8_t> bytes)
{
    if (marker == kAPP1)
        return IsExifSegment(bytes) || StartsWith(bytes, kXmp) || StartsWith(bytes, kExtendedXmp);
    return marker == kAPP13 && StartsWith(bytes, kPhotoshop);
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
            metadata_.iccPosition = 0;
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
                metadata_.iccPosition = metadata_.jpegSegments.size();
            if (budget_.Charge(bytes.size()))
                icc_.push_back({bytes[kIcc.size()], bytes[kIcc.size() + 1], bytes.subspan(kIccChunkHead)});
            else
                icc_.push_back({});  // a missing chunk drops the whole profile
            return;
        }
        if (IsKept(marker, bytes) && budget_.Charge(bytes.size()))
            metadata_.jpegSegments.push_back({marker, {bytes.begin(), bytes.end()}});
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

std::vector<TJpegMarker> JpegMarkersFor(const TPictureMetadata& metadata, int32_t width,
                                        int32_t height)
{
    std::vector<TJpegMarker> markers;
    const auto& segments = metadata.jpegSegments;
    for (size_t i = 0; i <= segments.size(); ++i) {
        if (i == std::min(metadata.iccPosition, segments.size()))
            AddIccChunks(markers, metadata.iccProfile);
        if (i == segments.size())
            break;
        const TJpegSegment& segment = segments[i];
        std::vector<uint8_t> bytes = IsExifSegment(segment.bytes)
                                         ? ExifForPicture(segment.bytes, width, height)
                                         : segment.bytes;
        if (bytes.size() <= kMaxSegmentBytes)
            markers.push_back({segment.marker, std::move(bytes)});
    }
    return markers;
}

}  // namespace corvalin
