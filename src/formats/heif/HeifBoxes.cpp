#include "formats/heif/HeifBoxes.h"

#include <algorithm>
#include <unordered_map>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"

namespace corvalin {

namespace {

[[noreturn]] void ThrowRefused(const char* detail)
{
    throw EInvalidGraphic("Ungültige HEIF-Datei", detail);
}

void ThrowCut()
{
    ThrowRefused("box cut short");
}

struct TBox {
    std::string type;
    std::span<const uint8_t> payload;
};

// Calls `visit` with each box in `bytes`; a box cut short counts up to the
// end of its parent, which libheif then judges.
template <class TVisit>
void ForEachBox(std::span<const uint8_t> bytes, TVisit visit)
{
    TByteCursor cursor(bytes, ThrowCut);
    while (cursor.Remaining() >= 8) {
        const size_t start = cursor.Position();
        uint64_t size = cursor.U32BE();
        const std::span<const uint8_t> type = cursor.Bytes(4);
        if (size == 1 && cursor.Remaining() >= 8) {
            const uint64_t high = cursor.U32BE();
            size = (high << 32) | cursor.U32BE();
        }
        // A size of 0 (or one smaller than the header) runs to the end of the parent.
        const size_t header = cursor.Position() - start;
        if (size < header || size - header > cursor.Remaining())
            size = header + cursor.Remaining();
        visit(TBox{std::string(type.begin(), type.end()), cursor.Bytes(size_t(size - header))});
    }
}

// A box's version, its flags skipped.
uint8_t FullBoxVersion(TByteCursor& cursor)
{
    const uint8_t version = cursor.U8();
    cursor.Skip(3);
    return version;
}

uint64_t SizedNumber(TByteCursor& cursor, uint32_t bytes)
{
    if (bytes == 0)
        return 0;
    if (bytes == 4)
        return cursor.U32BE();
    if (bytes != 8)
        ThrowRefused("item location of unknown size");
    const uint64_t high = cursor.U32BE();
    return (high << 32) | cursor.U32BE();
}

uint32_t ItemId(TByteCursor& cursor, bool wide)
{
    return wide ? cursor.U32BE() : cursor.U16BE();
}

void CheckCount(uint64_t count, const char* what)
{
    if (count > kMaxHeifItems)
        ThrowRefused(what);
}

struct TExtent {
    uint64_t offset = 0, length = 0;
};

struct TLocation {
    uint32_t id = 0;
    uint16_t method = 0;  // 0: in the file, 1: in "idat"
    uint64_t base = 0;
    std::vector<TExtent> extents;
};

class TMetaReader {
public:
    TMetaReader(std::span<const uint8_t> file, THeifLayout& layout) : file_(file), layout_(layout) {}

    void Read(std::span<const uint8_t> meta)
    {
        TByteCursor cursor(meta, ThrowCut);
        FullBoxVersion(cursor);
        std::unordered_map<std::string, std::span<const uint8_t>> boxes;
        ForEachBox(cursor.Bytes(cursor.Remaining()), [&](const TBox& box) { boxes.emplace(box.type, box.payload); });
        // The items first: the other boxes name them.
        if (boxes.contains("iinf"))
            ReadItems(boxes["iinf"]);
        if (boxes.contains("pitm"))
            ReadPrimary(boxes["pitm"]);
        if (boxes.contains("iref"))
            ReadReferences(boxes["iref"]);
        if (boxes.contains("iprp"))
            ReadProperties(boxes["iprp"]);
        if (boxes.contains("iloc"))
            ReadLocations(boxes["iloc"], boxes.contains("idat") ? boxes["idat"] : std::span<const uint8_t>());
    }

private:
    THeifItem* Find(uint32_t id)
    {
        const auto found = index_.find(id);
        return found != index_.end() ? &layout_.items[found->second] : nullptr;
    }

    void ReadItems(std::span<const uint8_t> payload)
    {
        TByteCursor cursor(payload, ThrowCut);
        const uint8_t version = FullBoxVersion(cursor);
        CheckCount(version == 0 ? cursor.U16BE() : cursor.U32BE(), "too many items");
        ForEachBox(cursor.Bytes(cursor.Remaining()), [&](const TBox& box) {
            if (box.type != "infe")
                return;
            CheckCount(layout_.items.size() + 1, "too many items");
            TByteCursor entry(box.payload, ThrowCut);
            const uint8_t entryVersion = FullBoxVersion(entry);
            if (entryVersion < 2)
                return;
            THeifItem item;
            item.id = ItemId(entry, entryVersion >= 3);
            entry.Skip(2);  // protection index
            const std::span<const uint8_t> type = entry.Bytes(4);
            item.type.assign(type.begin(), type.end());
            index_.emplace(item.id, layout_.items.size());
            layout_.items.push_back(std::move(item));
        });
    }

    void ReadPrimary(std::span<const uint8_t> payload)
    {
        TByteCursor cursor(payload, ThrowCut);
        layout_.primary = ItemId(cursor, FullBoxVersion(cursor) != 0);
    }

    void ReadReferences(std::span<const uint8_t> payload)
    {
        TByteCursor cursor(payload, ThrowCut);
        const bool wide = FullBoxVersion(cursor) != 0;
        uint64_t total = 0;
        ForEachBox(cursor.Bytes(cursor.Remaining()), [&](const TBox& box) {
            TByteCursor entry(box.payload, ThrowCut);
            THeifItem* from = Find(ItemId(entry, wide));
            const uint16_t count = entry.U16BE();
            total += count;
            CheckCount(total, "too many references");
            std::vector<uint32_t> to(count);
            for (uint32_t& id : to)
                id = ItemId(entry, wide);
            if (from == nullptr)
                return;
            if (box.type == "dimg")
                from->tiles = std::move(to);
            else if (box.type == "auxl" && !to.empty())
                from->auxiliaryOf = to.front();
        });
    }

    void ReadProperties(std::span<const uint8_t> payload)
    {
        std::vector<TBox> properties;
        ForEachBox(payload, [&](const TBox& box) {
            if (box.type == "ipco")
                ForEachBox(box.payload, [&](const TBox& property) { properties.push_back(property); });
            else if (box.type == "ipma")
                ReadAssociations(box.payload, properties);
        });
    }

    void ReadAssociations(std::span<const uint8_t> payload, const std::vector<TBox>& properties)
    {
        TByteCursor cursor(payload, ThrowCut);
        const uint8_t version = cursor.U8();
        cursor.Skip(2);
        const bool wideIndex = (cursor.U8() & 1) != 0;
        const uint32_t entries = cursor.U32BE();
        CheckCount(entries, "too many items");
        for (uint32_t e = 0; e < entries; ++e) {
            THeifItem* item = Find(ItemId(cursor, version >= 1));
            const uint8_t count = cursor.U8();
            for (uint8_t a = 0; a < count; ++a) {
                const uint32_t index = wideIndex ? cursor.U16BE() & 0x7FFFu : cursor.U8() & 0x7Fu;
                if (item != nullptr && index >= 1 && index <= properties.size())
                    Associate(*item, properties[index - 1]);
            }
        }
    }

    static void Associate(THeifItem& item, const TBox& property)
    {
        TByteCursor cursor(property.payload, ThrowCut);
        if (property.type == "ispe") {
            FullBoxVersion(cursor);
            item.width = cursor.U32BE();
            item.height = cursor.U32BE();
            item.hasSize = true;
        } else if (property.type == "hvcC") {
            item.hvcC = property.payload;
        } else if (property.type == "av1C") {
            item.av1C = property.payload;
        } else if (property.type == "auxC") {
            FullBoxVersion(cursor);
            const std::span<const uint8_t> rest = cursor.Bytes(cursor.Remaining());
            item.auxType.assign(rest.begin(), std::find(rest.begin(), rest.end(), uint8_t(0)));
        }
    }

    void ReadLocations(std::span<const uint8_t> payload, std::span<const uint8_t> idat)
    {
        TByteCursor cursor(payload, ThrowCut);
        const uint8_t version = FullBoxVersion(cursor);
        const uint8_t sizes = cursor.U8(), more = cursor.U8();
        const uint32_t offsetBytes = sizes >> 4, lengthBytes = sizes & 15, baseBytes = more >> 4;
        const uint32_t indexBytes = version >= 1 ? more & 15u : 0;
        const uint32_t count = version < 2 ? cursor.U16BE() : cursor.U32BE();
        CheckCount(count, "too many items");
        for (uint32_t i = 0; i < count; ++i) {
            TLocation location;
            location.id = ItemId(cursor, version >= 2);
            location.method = version >= 1 ? cursor.U16BE() & 15u : 0;
            cursor.Skip(2);  // data reference
            location.base = SizedNumber(cursor, baseBytes);
            const uint16_t extents = cursor.U16BE();
            for (uint16_t x = 0; x < extents; ++x) {
                SizedNumber(cursor, indexBytes);
                TExtent extent;
                extent.offset = SizedNumber(cursor, offsetBytes);
                extent.length = SizedNumber(cursor, lengthBytes);
                location.extents.push_back(extent);
            }
            if (THeifItem* item = Find(location.id))
                Locate(*item, location, location.method == 0 ? file_ : idat);
        }
    }

    // The item's bytes, where they lie within the file or "idat"; pieces
    // outside leave the item unlocated (libheif then fails it). Joined
    // pieces together never hold more than the file.
    void Locate(THeifItem& item, const TLocation& location, std::span<const uint8_t> source)
    {
        if (location.method > 1 || location.extents.empty())
            return;
        std::vector<std::span<const uint8_t>> pieces;
        uint64_t total = 0;
        for (const TExtent& extent : location.extents) {
            if (location.base > source.size() || extent.offset > source.size() - location.base)
                return;
            const uint64_t start = location.base + extent.offset, left = source.size() - start;
            const uint64_t length = extent.length == 0 ? left : extent.length;
            if (length > left)
                return;
            total += length;
            if (total > file_.size())
                return;
            pieces.push_back(source.subspan(size_t(start), size_t(length)));
        }
        if (pieces.size() == 1) {
            item.data = pieces.front();
        } else {
            for (const auto& piece : pieces)
                item.joined.insert(item.joined.end(), piece.begin(), piece.end());
            item.data = item.joined;
        }
        item.located = true;
    }

    std::span<const uint8_t> file_;
    THeifLayout& layout_;
    std::unordered_map<uint32_t, size_t> index_;
};

// The samples of a track's sample size box ("stsz" or the compact "stz2").
uint64_t SampleCount(const TBox& box)
{
    TByteCursor cursor(box.payload, ThrowCut);
    FullBoxVersion(cursor);
    cursor.Skip(4);  // a common sample size, or the compact box's field size
    return cursor.U32BE();
}

// A track of pictures ("pict", or "vide" as video tracks say) and its samples.
uint64_t PicturesOfTrack(std::span<const uint8_t> track)
{
    bool pictures = false;
    uint64_t samples = 0;
    ForEachBox(track, [&](const TBox& mdia) {
        if (mdia.type != "mdia")
            return;
        ForEachBox(mdia.payload, [&](const TBox& box) {
            if (box.type == "hdlr" && box.payload.size() >= 12) {
                const std::string handler(box.payload.begin() + 8, box.payload.begin() + 12);
                pictures = handler == "pict" || handler == "vide";
            } else if (box.type == "minf") {
                ForEachBox(box.payload, [&](const TBox& stbl) {
                    if (stbl.type == "stbl")
                        ForEachBox(stbl.payload, [&](const TBox& table) {
                            if (table.type == "stsz" || table.type == "stz2")
                                samples = SampleCount(table);
                        });
                });
            }
        });
    });
    return pictures ? samples : 0;
}

}  // namespace

const THeifItem* THeifLayout::Item(uint32_t id) const
{
    const auto found = std::find_if(items.begin(), items.end(), [id](const THeifItem& item) { return item.id == id; });
    return found != items.end() ? &*found : nullptr;
}

THeifLayout ReadHeifLayout(std::span<const uint8_t> file)
{
    THeifLayout layout;
    ForEachBox(file, [&](const TBox& box) {
        if (box.type == "meta") {
            TMetaReader(file, layout).Read(box.payload);
        } else if (box.type == "moov") {
            ForEachBox(box.payload, [&](const TBox& track) {
                if (track.type == "trak")
                    layout.sequencePictures = std::max(layout.sequencePictures, PicturesOfTrack(track.payload));
            });
        }
    });
    return layout;
}

}  // namespace corvalin
