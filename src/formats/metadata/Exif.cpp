#include "formats/metadata/Exif.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "common/ByteCursor.h"
#include "common/Limits.h"

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

    // The first directory is no linked one: a link to it is a loop.
    void MarkFirstRead() { read_.push_back(firstIfd_); }

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

constexpr auto kLittle = TByteOrder::LittleEndian;

std::vector<uint8_t> LittleEndian(uint32_t value, size_t width)
{
    std::vector<uint8_t> bytes;
    if (width == 2)
        Put16(bytes, uint16_t(value), kLittle);
    else
        Put32(bytes, value, kLittle);
    return bytes;
}

void SortByTag(std::vector<TExifField>& fields)
{
    std::stable_sort(fields.begin(), fields.end(),
                     [](const TExifField& a, const TExifField& b) { return a.tag < b.tag; });
}

// The entry table, the link to no next directory, and the values of more
// than four bytes behind it, each at an even offset.
size_t DirectorySize(const std::vector<TExifField>& fields)
{
    size_t size = 2 + fields.size() * kEntryBytes + 4;
    for (const TExifField& field : fields)
        if (field.value.size() > 4)
            size += field.value.size() + field.value.size() % 2;
    return size;
}

// Appends the directory to `out`, whose first byte lies at offset `base`
// of the TIFF structure (both even).
void AppendDirectory(std::vector<uint8_t>& out, size_t base, const std::vector<TExifField>& fields)
{
    size_t valueAt = base + out.size() + 2 + fields.size() * kEntryBytes + 4;
    std::vector<uint8_t> values;
    Put16(out, uint16_t(fields.size()), kLittle);
    for (const TExifField& field : fields) {
        Put16(out, field.tag, kLittle);
        Put16(out, field.type, kLittle);
        Put32(out, field.count, kLittle);
        if (field.value.size() <= 4) {
            std::vector<uint8_t> inline4 = field.value;
            inline4.resize(4, 0);
            out.insert(out.end(), inline4.begin(), inline4.end());
            continue;
        }
        Put32(out, uint32_t(valueAt + values.size()), kLittle);
        values.insert(values.end(), field.value.begin(), field.value.end());
        if (values.size() % 2 != 0)
            values.push_back(0);
    }
    Put32(out, 0, kLittle);
    out.insert(out.end(), values.begin(), values.end());
}

uint32_t LinkOf(const TExifField& field)
{
    if ((field.type != kTypeLong && field.type != kTypeIfd) || field.count != 1 || field.value.size() != 4)
        return 0;
    return Get32(field.value.data(), kLittle);
}

// Bytes of each number whose order a field type's values turn in: the
// halves of a RATIONAL on their own, text and undefined bytes not at all.
size_t SwapUnit(uint16_t type)
{
    static constexpr uint8_t kUnit[] = {0, 1, 1, 2, 4, 4, 1, 1, 2, 4, 4, 4, 8, 4};
    return type < std::size(kUnit) ? kUnit[type] : 1;
}

// Copies directories of a TIFF structure as little-endian fields. Each
// directory is read once, and the values copied altogether stay within the
// side-data limit: many entries pointing at one large value must not
// multiply it.
class TDirectoryCopier {
public:
    explicit TDirectoryCopier(std::span<const uint8_t> tiff) : tiff_(tiff)
    {
        try {
            walker_.emplace(tiff);
            walker_->MarkFirstRead();
        } catch (const TDamagedExif&) {
        }
    }

    bool Valid() const { return walker_.has_value(); }

    // The directory's fields; none when it cannot be walked or copied.
    std::vector<TExifField> Copy(uint32_t offset)
    {
        std::vector<TExifField> fields;
        try {
            const TDirectory directory = walker_->Read(offset);
            for (const TEntry& entry : directory.entries)
                if (entry.tag != kTagExifIfd && entry.tag != kTagGpsIfd)
                    fields.push_back(CopyOf(entry));
        } catch (const TDamagedExif&) {
            return {};
        }
        return fields;
    }

private:
    TExifField CopyOf(const TEntry& entry)
    {
        const size_t bytes = size_t(entry.count) * TypeBytes(entry.type);
        copied_ += bytes;
        if (copied_ > size_t(kMaxSideDataBytes))
            ThrowDamaged();
        const size_t at = bytes <= 4 ? entry.at + 8 : entry.value;
        const auto source = tiff_.subspan(at, bytes);  // checked by the walker
        TExifField field{entry.tag, entry.type, entry.count, {source.begin(), source.end()}};
        const size_t unit = SwapUnit(entry.type);
        if (walker_->Order() == TByteOrder::BigEndian && unit > 1)
            for (size_t i = 0; i + unit <= field.value.size(); i += unit)
                std::reverse(field.value.begin() + ptrdiff_t(i), field.value.begin() + ptrdiff_t(i + unit));
        return field;
    }

    std::span<const uint8_t> tiff_;
    std::optional<TExifWalker> walker_;
    size_t copied_ = 0;
};

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

std::vector<uint8_t> ExifOfTexts(const std::vector<std::pair<uint16_t, std::string>>& texts, int orientation,
                                 const TExifDirectories& linked)
{
    std::vector<TExifField> fields;
    for (const auto& [tag, text] : texts)
        if (!text.empty()) {
            std::vector<uint8_t> value(text.begin(), text.end());
            value.push_back(0);
            fields.push_back({tag, kTypeAscii, uint32_t(value.size()), std::move(value)});
        }
    if (orientation >= 1 && orientation <= 8)
        fields.push_back({kTagOrientation, kTypeShort, 1, LittleEndian(uint32_t(orientation), 2)});
    const bool hasExif = !linked.exif.empty(), hasGps = !linked.gps.empty();
    if (hasExif)
        fields.push_back({kTagExifIfd, kTypeLong, 1, LittleEndian(0, 4)});
    if (hasGps)
        fields.push_back({kTagGpsIfd, kTypeLong, 1, LittleEndian(0, 4)});
    if (fields.empty())
        return {};
    SortByTag(fields);
    constexpr uint32_t kFirstIfd = 8;
    const TExifDirectoryBytes laid = LayOutExifDirectories(linked, uint32_t(kFirstIfd + DirectorySize(fields)));
    for (TExifField& field : fields)
        if (field.tag == kTagExifIfd || field.tag == kTagGpsIfd)
            field.value = LittleEndian(field.tag == kTagExifIfd ? laid.exifAt : laid.gpsAt, 4);
    std::vector<uint8_t> block = {'I', 'I'};
    Put16(block, 42, kLittle);
    Put32(block, kFirstIfd, kLittle);
    AppendDirectory(block, 0, fields);
    block.insert(block.end(), laid.bytes.begin(), laid.bytes.end());
    return block;
}

TExifDirectories ReadExifDirectories(std::span<const uint8_t> tiff, uint32_t exifAt, uint32_t gpsAt)
{
    TExifDirectories directories;
    TDirectoryCopier copier(tiff);
    if (exifAt != 0 && copier.Valid()) {
        directories.exif = copier.Copy(exifAt);
        const auto interop = std::find_if(directories.exif.begin(), directories.exif.end(),
                                          [](const TExifField& f) { return f.tag == kTagInteropIfd; });
        if (interop != directories.exif.end()) {
            const uint32_t interopAt = LinkOf(*interop);
            directories.exif.erase(interop);
            if (interopAt != 0)
                directories.interop = copier.Copy(interopAt);
        }
    }
    if (gpsAt != 0 && copier.Valid())
        directories.gps = copier.Copy(gpsAt);
    return directories;
}

TExifDirectories ExifDirectoriesOf(std::span<const uint8_t> block)
{
    const auto tiff = block.subspan(TiffStart(block));
    try {
        TExifWalker walker(tiff);
        const TDirectory first = walker.Read(walker.FirstIfd());
        auto linkOf = [&](uint16_t tag) {
            const TEntry* entry = first.Find(tag);
            return entry != nullptr && entry->count == 1 && (entry->type == kTypeLong || entry->type == kTypeIfd)
                       ? entry->value
                       : 0;
        };
        return ReadExifDirectories(tiff, linkOf(kTagExifIfd), linkOf(kTagGpsIfd));
    } catch (const TDamagedExif&) {
        return {};
    }
}

TExifDirectoryBytes LayOutExifDirectories(const TExifDirectories& directories, uint32_t at)
{
    TExifDirectoryBytes laid;
    if (directories.Empty())
        return laid;
    std::vector<TExifField> exif = directories.exif;
    const bool hasInterop = !exif.empty() && !directories.interop.empty();
    if (hasInterop) {
        exif.push_back({kTagInteropIfd, kTypeLong, 1, LittleEndian(0, 4)});
        SortByTag(exif);
    }
    if (!exif.empty()) {
        laid.exifAt = at;
        for (TExifField& field : exif)
            if (field.tag == kTagInteropIfd)
                field.value = LittleEndian(uint32_t(at + DirectorySize(exif)), 4);
        AppendDirectory(laid.bytes, at, exif);
        if (hasInterop)
            AppendDirectory(laid.bytes, at, directories.interop);
    }
    if (!directories.gps.empty()) {
        laid.gpsAt = uint32_t(at + laid.bytes.size());
        AppendDirectory(laid.bytes, at, directories.gps);
    }
    return laid;
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
