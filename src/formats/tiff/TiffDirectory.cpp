#include "formats/tiff/TiffDirectory.h"

#include <algorithm>
#include <unordered_set>

#include "common/Exceptions.h"
#include "common/Limits.h"

namespace corvalin {

namespace {

enum TiffType : uint16_t {
    tyByte = 1, tyAscii, tyShort, tyLong, tyRational, tySByte, tyUndefined, tySShort, tySLong, tySRational
};

constexpr uint32_t kEntryBytes = 12;

}  // namespace

uint32_t TiffTypeSize(uint16_t type)
{
    switch (type) {
    case tyByte: case tyAscii: case tySByte: case tyUndefined:
        return 1;
    case tyShort: case tySShort:
        return 2;
    case tyLong: case tySLong:
        return 4;
    case tyRational: case tySRational:
        return 8;
    default:
        return 0;
    }
}

TTiffDirectory::TTiffDirectory(std::span<const uint8_t> file) : file_(file)
{
    TByteCursor cursor(file);
    const std::span<const uint8_t> mark = cursor.Bytes(2);
    order_ = mark[0] == 'M' && mark[1] == 'M' ? TByteOrder::BigEndian : TByteOrder::LittleEndian;
    version_ = cursor.U16(order_);
    firstOffset_ = cursor.U32(order_);
}

bool TTiffDirectory::Select(uint32_t index)
{
    TByteCursor cursor(file_);
    std::unordered_set<uint32_t> visited;
    uint32_t offset = firstOffset_;
    for (uint32_t i = 0;; ++i) {
        if (offset == 0 || !visited.insert(offset).second)
            return false;
        if (i == index)
            break;
        cursor.Seek(offset);
        const uint16_t count = cursor.U16(order_);
        cursor.Skip(size_t(count) * kEntryBytes);
        offset = cursor.U32(order_);
    }
    ReadEntries(offset);
    return true;
}

uint32_t TTiffDirectory::FittingDirectory(uint32_t offset) const
{
    if (offset == 0 || offset > file_.size() || file_.size() - offset < 2)
        return 0;
    const size_t next = offset + 2 + size_t(Get16(file_.data() + offset, order_)) * kEntryBytes;
    return next <= file_.size() && file_.size() - next >= 4 ? offset : 0;
}

uint32_t TTiffDirectory::NextDirectory(uint32_t offset) const
{
    const size_t next = offset + 2 + size_t(Get16(file_.data() + offset, order_)) * kEntryBytes;
    return FittingDirectory(Get32(file_.data() + next, order_));
}

// The chain may run into a loop anywhere: a walker that jumps to the
// leader at every power of two steps meets it within the loop (Brent), and
// two walkers a loop's length apart meet at its first directory. So every
// directory is counted once, in time proportional to the chain and in no
// memory beyond that of the walkers, however many directories a file holds.
size_t TTiffDirectory::DirectoryCount() const
{
    const uint32_t first = FittingDirectory(firstOffset_);
    if (first == 0)
        return 0;
    uint32_t behind = first, ahead = NextDirectory(first);
    size_t walked = 1, loop = 1;
    for (size_t power = 1; ahead != 0 && ahead != behind; ++walked, ++loop) {
        if (power == loop) {
            behind = ahead;
            power *= 2;
            loop = 0;
        }
        ahead = NextDirectory(ahead);
    }
    if (ahead == 0)
        return walked;
    behind = ahead = first;
    for (size_t i = 0; i < loop; ++i)
        ahead = NextDirectory(ahead);
    size_t lead = 0;
    for (; behind != ahead; ++lead) {
        behind = NextDirectory(behind);
        ahead = NextDirectory(ahead);
    }
    return lead + loop;
}

void TTiffDirectory::ReadEntries(uint32_t offset)
{
    TByteCursor cursor(file_);
    cursor.Seek(offset);
    const uint16_t count = cursor.U16(order_);
    cursor.At(cursor.Position(), size_t(count) * kEntryBytes);  // the whole table is in the file
    entries_.clear();
    entries_.reserve(count);
    for (uint16_t i = 0; i < count; ++i) {
        TTiffEntry entry;
        entry.Tag = cursor.U16(order_);
        entry.Type = cursor.U16(order_);
        entry.Count = cursor.U32(order_);
        entry.FieldOffset = uint32_t(cursor.Position());
        cursor.Skip(4);
        entries_.push_back(entry);
    }
    // The first of two entries with one tag wins, as a reader walking the table would see it.
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const TTiffEntry& a, const TTiffEntry& b) { return a.Tag < b.Tag; });
}

const TTiffEntry* TTiffDirectory::Find(uint16_t tag) const
{
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), tag,
                                     [](const TTiffEntry& e, uint16_t t) { return e.Tag < t; });
    return it != entries_.end() && it->Tag == tag ? &*it : nullptr;
}

// Values of up to 4 bytes sit in the value field itself, larger ones at the
// offset it holds. A count that reaches past the file throws EReadError.
std::span<const uint8_t> TTiffDirectory::ValueBytes(const TTiffEntry& entry) const
{
    const uint64_t bytes = uint64_t(entry.Count) * TiffTypeSize(entry.Type);
    if (bytes > uint64_t(kMaxSideDataBytes))
        throw EReadError(msg::StreamRead);
    const TByteCursor cursor(file_);
    if (bytes <= 4)
        return cursor.At(entry.FieldOffset, size_t(bytes));
    return cursor.At(Get32(file_.data() + entry.FieldOffset, order_), size_t(bytes));
}

uint32_t TTiffDirectory::Value(uint16_t tag, uint32_t fallback) const
{
    const TTiffEntry* entry = Find(tag);
    if (entry == nullptr || entry->Count != 1)
        return fallback;
    const uint8_t* field = file_.data() + entry->FieldOffset;
    switch (entry->Type) {
    case tyByte:
        return field[0];
    case tyShort: case tySShort:
        return Get16(field, order_);
    case tyLong: case tySLong:
        return Get32(field, order_);
    default:
        return fallback;
    }
}

std::vector<uint32_t> TTiffDirectory::Values(uint16_t tag) const
{
    const TTiffEntry* entry = Find(tag);
    if (entry == nullptr)
        return {};
    const uint32_t size = TiffTypeSize(entry->Type);
    if (size == 0 || size == 8)
        return {};
    const std::span<const uint8_t> bytes = ValueBytes(*entry);
    sideBytes_ += int64_t(entry->Count) * int64_t(sizeof(uint32_t));
    if (sideBytes_ > kMaxSideDataBytes)
        throw EOutOfResources(msg::OutOfResources);
    std::vector<uint32_t> values(entry->Count);
    for (size_t i = 0; i < values.size(); ++i) {
        const uint8_t* p = bytes.data() + i * size;
        values[i] = size == 1 ? *p : size == 2 ? Get16(p, order_) : Get32(p, order_);
    }
    return values;
}

double TTiffDirectory::Rational(uint16_t tag, uint32_t index, double fallback) const
{
    const TTiffEntry* entry = Find(tag);
    if (entry == nullptr || index >= entry->Count)
        return fallback;
    if (entry->Type != tyRational && entry->Type != tySRational) {
        const std::vector<uint32_t> values = Values(tag);
        return index < values.size() ? double(values[index]) : fallback;
    }
    const uint8_t* p = ValueBytes(*entry).data() + size_t(index) * 8;
    const uint32_t numerator = Get32(p, order_), denominator = Get32(p + 4, order_);
    if (denominator == 0)
        return fallback;
    if (entry->Type == tySRational)
        return double(int32_t(numerator)) / double(int32_t(denominator));
    return double(numerator) / double(denominator);
}

std::span<const uint8_t> TTiffDirectory::Raw(uint16_t tag) const
{
    const TTiffEntry* entry = Find(tag);
    return entry == nullptr ? std::span<const uint8_t>{} : ValueBytes(*entry);
}

}  // namespace corvalin
