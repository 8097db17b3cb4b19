#include "formats/metadata/Exif.h"

#include <algorithm>
#include <cstring>

#include "common/ByteCursor.h"

namespace corvalin {

namespace {

// A structure that cannot be walked safely; the block is then left alone.
struct TDamagedExif {};

[[noreturn]] void ThrowDamaged()
{
    throw TDamagedExif{};
}

enum : uint16_t {
    kTagImageWidth = 0x0100,
    kTagImageLength = 0x0101,
    kTagOrientation = 0x0112,
    kTagThumbnailOffset = 0x0201,
    kTagThumbnailLength = 0x0202,
    kTagExifIfd = 0x8769,
    kTagGpsIfd = 0x8825,
    kTagPixelXDimension = 0xA002,
    kTagPixelYDimension = 0xA003,
    kTagInteropIfd = 0xA005,
};

enum : uint16_t { kTypeAscii = 2, kTypeShort = 3, kTypeLong = 4, kTypeIfd = 13 };

constexpr size_t kEntryBytes = 12;

// Bytes per value of the TIFF field types; 0 for a type TIFF does not define.
size_t TypeBytes(uint16_t type)
{
    static constexpr uint8_t kBytes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < std::size(kBytes) ? kBytes[type] : 0;
}

struct TEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    size_t at = 0;          // of the entry, from the TIFF header
    uint32_t value = 0;     // the value field read as one number
};

struct TDirectory {
    std::vector<TEntry> entries;
    size_t nextAt = 0;      // of the link to the next directory
    size_t end = 0;         // past the directory and every value it points to

    const TEntry* Find(uint16_t tag) const
    {
        for (const TEntry& entry : entries)
            if (entry.tag == tag)
                return &entry;
        return nullptr;
    }
};

// The TIFF structure inside the segment, walked through the bounded cursor.
class TExifWalker {
public:
    explicit TExifWalker(std::span<const uint8_t> tiff) : in_(tiff, ThrowDamaged)
    {
        const auto mark = in_.Bytes(2);
        if (mark[0] == 'I' && mark[1] == 'I')
            order_ = TByteOrder::LittleEndian;
        else if (mark[0] == 'M' && mark[1] == 'M')
            order_ = TByteOrder::BigEndian;
        else
            ThrowDamaged();
        if (in_.U16(order_) != 42)
            ThrowDamaged();
        firstIfd_ = in_.U32(order_);
    }

    TByteOrder Order() const { return order_; }
    uint32_t FirstIfd() const { return firstIfd_; }

    // Each directory is read once: a pointer back to one already read is a
    // loop in the structure.
    TDirectory Read(uint32_t offset)
    {
        if (std::find(read_.begin(), read_.end(), offset) != read_.end())
            ThrowDamaged();
        read_.push_back(offset);
        in_.Seek(offset);
        TDirectory directory;
        const uint16_t count = in_.U16(order_);
        directory.end = offset + 2 + size_t(count) * kEntryBytes + 4;
        for (uint16_t i = 0; i < count; ++i)
            directory.entries.push_back(ReadEntry(directory.end));
        directory.nextAt = in_.Position();
        in_.Skip(4);
        return directory;
    }

    uint32_t Link(const TDirectory& directory) const
    {
        return Get32(in_.At(directory.nextAt, 4).data(), order_);
    }

    // The directory a pointer entry names, or none when the entry is absent.
    bool ReadLinked(const TDirectory& from, uint16_t tag, TDirectory& linked)
    {
        const TEntry* entry = from.Find(tag);
        if (entry == nullptr)
            return false;
        if ((entry->type != kTypeLong && entry->type != kTypeIfd) || entry->count != 1)
            ThrowDamaged();
        linked = Read(entry->value);
        return true;
    }

private:
    TEntry ReadEntry(size_t& end)
    {
        TEntry entry;
        entry.at = in_.Position();
        entry.tag = in_.U16(order_);
        entry.type = in_.U16(order_);
        entry.count = in_.U32(order_);
        entry.value = in_.U32(order_);
        const size_t unit = TypeBytes(entry.type);
        if (unit == 0)
            ThrowDamaged();
        const uint64_t bytes = uint64_t(entry.count) * unit;
        if (bytes > 4) {
            in_.At(entry.value, size_t(bytes));  // the values lie inside the block
            end = std::max(end, size_t(entry.value + bytes));
        }
        return entry;
    }

    TByteCursor in_;
    TByteOrder order_ = TByteOrder::LittleEndian;
    uint32_t firstIfd_ = 0;
    std::vector<uint32_t> read_;
};

void PutAt(std::vector<uint8_t>& bytes, size_t at, uint32_t value, size_t width, TByteOrder order)
{
    std::vector<uint8_t> encoded;
    if (width == 2)
        Put16(encoded, uint16_t(value), order);
    else
        Put32(encoded, value, order);
    std::copy(encoded.begin(), encoded.end(), bytes.begin() + ptrdiff_t(at));
}

// A dimension tag of one SHORT or LONG takes the new value; a SHORT cannot
// hold more than 65535, which no JPEG picture exceeds.
void SetDimension(std::vector<uint8_t>& tiff, const TDirectory& directory, uint16_t tag,
                  uint32_t value, TByteOrder order)
{
    const TEntry* entry = directory.Find(tag);
    if (entry == nullptr || entry->count != 1)
        return;
    const size_t valueAt = entry->at + 8;
    if (entry->type == kTypeLong)
        PutAt(tiff, valueAt, value, 4, order);
    else if (entry->type == kTypeShort && value <= 0xFFFF)
        PutAt(tiff, valueAt, value, 2, order);
}

// Where the thumbnail's bytes begin: its directory or its JPEG data,
// whichever comes first; the block's end when the directory cannot be read.
size_t ThumbnailStart(TExifWalker& walker, uint32_t offset, size_t blockSize)
{
    if (offset >= blockSize)
        return blockSize;
    size_t start = offset;
    try {
        const TDirectory thumbnail = walker.Read(offset);
        const TEntry* data = thumbnail.Find(kTagThumbnailOffset);
        if (data != nullptr && thumbnail.Find(kTagThumbnailLength) != nullptr)
            start = std::min<size_t>(start, data->value);
    } catch (const TDamagedExif&) {
        // An unreadable thumbnail is dropped all the same.
    }
    return start;
}

std::vector<uint8_t> Rewritten(std::span<const uint8_t> tiffIn, uint32_t width, uint32_t height)
{
    TExifWalker walker(tiffIn);
    const TByteOrder order = walker.Order();
    const TDirectory first = walker.Read(walker.FirstIfd());
    size_t end = first.end;
    TDirectory exif, linked;
    const bool hasExif = walker.ReadLinked(first, kTagExifIfd, exif);
    if (hasExif) {
        end = std::max(end, exif.end);
        if (walker.ReadLinked(exif, kTagInteropIfd, linked))
            end = std::max(end, linked.end);
    }
    if (walker.ReadLinked(first, kTagGpsIfd, linked))
        end = std::max(end, linked.end);

    std::vector<uint8_t> tiff(tiffIn.begin(), tiffIn.end());
    SetDimension(tiff, first, kTagImageWidth, width, order);
    SetDimension(tiff, first, kTagImageLength, height, order);
    if (hasExif) {
        SetDimension(tiff, exif, kTagPixelXDimension, width, order);
        SetDimension(tiff, exif, kTagPixelYDimension, height, order);
    }
    const uint32_t thumbnail = walker.Link(first);
    if (thumbnail != 0) {
        PutAt(tiff, first.nextAt, 0, 4, order);
        const size_t start = ThumbnailStart(walker, thumbnail, tiff.size());
        // Bytes behind everything that stays belong to the thumbnail alone.
        if (start >= end)
            tiff.resize(start);
    }
    return tiff;
}

// The TIFF structure of a block, behind the identifier when it has one.
size_t TiffStart(std::span<const uint8_t> block)
{
    return IsExifSegment(block) ? sizeof kExifIdentifier : 0;
}

// Where IFD0's Orientation SHORT is held in the block; 0 when it has none.
size_t OrientationAt(std::span<const uint8_t> block)
{
    const size_t start = TiffStart(block);
    try {
        TExifWalker walker(block.subspan(start));
        const TDirectory first = walker.Read(walker.FirstIfd());
        const TEntry* entry = first.Find(kTagOrientation);
        if (entry == nullptr || entry->type != kTypeShort || entry->count != 1)
            return 0;
        return start + entry->at + 8;
    } catch (const TDamagedExif&) {
        return 0;
    }
}

TByteOrder OrderOf(std::span<const uint8_t> block)
{
    return block[TiffStart(block)] == 'M' ? TByteOrder::BigEndian : TByteOrder::LittleEndian;
}

}  // namespace

int ExifOrientation(std::span<const uint8_t> block)
{
    const size_t at = OrientationAt(block);
    if (at == 0)
        return 0;
    const uint16_t value = Get16(block.data() + at, OrderOf(block));
    return value >= 1 && value <= 8 ? value : 0;
}

void SetExifOrientationUpright(std::vector<uint8_t>& block)
{
    const size_t at = OrientationAt(block);
    if (at != 0)
        PutAt(block, at, 1, 2, OrderOf(block));
}

std::vector<uint8_t> ExifOfTexts(const std::vector<std::pair<uint16_t, std::string>>& texts, int orientation)
{
    struct TField {
        uint16_t tag, type;
        std::string text;
    };
    std::vector<TField> fields;
    for (const auto& [tag, text] : texts)
        if (!text.empty())
            fields.push_back({tag, kTypeAscii, text});
    if (orientation >= 1 && orientation <= 8)
        fields.push_back({kTagOrientation, kTypeShort, {}});
    if (fields.empty())
        return {};
    std::sort(fields.begin(), fields.end(), [](const TField& a, const TField& b) { return a.tag < b.tag; });
    constexpr auto le = TByteOrder::LittleEndian;
    std::vector<uint8_t> block = {'I', 'I'}, values;
    Put16(block, 42, le);
    Put32(block, 8, le);
    Put16(block, uint16_t(fields.size()), le);
    const size_t valuesAt = 8 + 2 + fields.size() * kEntryBytes + 4;
    for (const TField& field : fields) {
        Put16(block, field.tag, le);
        Put16(block, field.type, le);
        if (field.type == kTypeShort) {
            Put32(block, 1, le);
            Put32(block, uint32_t(orientation), le);
            continue;
        }
        const size_t count = field.text.size() + 1;
        Put32(block, uint32_t(count), le);
        std::vector<uint8_t> text(field.text.begin(), field.text.end());
        text.resize(std::max<size_t>(count, 4), 0);
        if (count <= 4) {
            block.insert(block.end(), text.begin(), text.end());
            continue;
        }
        Put32(block, uint32_t(valuesAt + values.size()), le);
        values.insert(values.end(), text.begin(), text.end());
        if (values.size() % 2 != 0)
            values.push_back(0);
    }
    Put32(block, 0, le);
    block.insert(block.end(), values.begin(), values.end());
    return block;
}

std::string ExifText(std::span<const uint8_t> block, uint16_t tag)
{
    const auto tiff = block.subspan(TiffStart(block));
    try {
        TExifWalker walker(tiff);
        const TDirectory first = walker.Read(walker.FirstIfd());
        const TEntry* entry = first.Find(tag);
        if (entry == nullptr || entry->type != kTypeAscii || entry->count == 0)
            return {};
        const size_t valueAt = entry->count <= 4 ? entry->at + 8 : entry->value;
        const auto bytes = tiff.subspan(valueAt, entry->count);
        return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), uint8_t(0)));
    } catch (const TDamagedExif&) {
        return {};
    }
}

bool IsExifSegment(std::span<const uint8_t> segment)
{
    return segment.size() >= sizeof kExifIdentifier &&
           std::memcmp(segment.data(), kExifIdentifier, sizeof kExifIdentifier) == 0;
}

std::vector<uint8_t> ExifForPicture(std::span<const uint8_t> segment, int32_t width, int32_t height)
{
    const size_t start = TiffStart(segment);
    try {
        std::vector<uint8_t> result = Rewritten(segment.subspan(start), uint32_t(width), uint32_t(height));
        result.insert(result.begin(), segment.begin(), segment.begin() + ptrdiff_t(start));
        return result;
    } catch (const TDamagedExif&) {
        return {segment.begin(), segment.end()};
    }
}


}  // namespace corvalin
