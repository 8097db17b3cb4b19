// Hand-made HEIC files around one coded 1024 x 1024 tile of heif-enc's:
// declared sizes that disagree, too many items, a grid whose picture would
// take far more memory than the budget holds, auxiliary pictures beside the
// primary. Each is read in a child process under a 1 GB budget and judged
// by its outcome, what the load reports and the child's peak memory.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/Exceptions.h"
#include "common/MemoryBudget.h"
#include "formats/BitmapEx.h"
#include "formats/FormatTable.h"
#include "formats/heif/HeifBoxes.h"

using namespace corvalin;
using namespace testsupport;

namespace {

using TBytes = std::vector<uint8_t>;

void Put(TBytes& out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void PutText(TBytes& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
}

TBytes Box(const std::string& type, const TBytes& payload, int version = -1)
{
    TBytes box;
    Put(box, payload.size() + 8 + (version >= 0 ? 4 : 0), 4);
    PutText(box, type);
    if (version >= 0)
        Put(box, uint32_t(version) << 24, 4);
    box.insert(box.end(), payload.begin(), payload.end());
    return box;
}

struct Item {
    Item(std::string type, uint32_t width = 0, uint32_t height = 0, TBytes data = {}, std::string aux = {})
        : type(std::move(type)), width(width), height(height), data(std::move(data)), aux(std::move(aux))
    {
    }
    std::string type;  // "hvc1" items carry the tile's configuration
    uint32_t width, height;
    TBytes data;
    std::string aux;
};

struct Reference {
    std::string type;
    uint16_t from;
    std::vector<uint16_t> to;
};

// A file of the items (numbered from 1, the first primary), their data in
// "mdat" in order.
TBytes HeifOf(const std::vector<Item>& items, const std::vector<Reference>& references, const TBytes& hvcC)
{
    const TBytes ftyp = Box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1', 'h', 'e', 'i', 'c'});
    auto meta = [&](uint32_t dataStart) {
        TBytes infos, locations, properties, associations, links, hdlr(4, 0);
        Put(infos, items.size(), 2);
        Put(locations, 0x4400, 2);
        Put(locations, std::count_if(items.begin(), items.end(), [](const Item& i) { return !i.data.empty(); }), 2);
        uint32_t at = dataStart, entries = 0;
        uint16_t index = 0;
        for (uint16_t id = 1; id <= items.size(); ++id) {
            const Item& item = items[id - 1];
            TBytes info;
            Put(info, id, 2);
            Put(info, 0, 2);
            PutText(info, item.type);
            info.push_back(0);
            const TBytes entry = Box("infe", info, 2);
            infos.insert(infos.end(), entry.begin(), entry.end());
            if (!item.data.empty()) {
                for (uint64_t value : {uint64_t(id), uint64_t(0), uint64_t(1)})
                    Put(locations, value, 2);
                Put(locations, at, 4);
                Put(locations, item.data.size(), 4);
                at += uint32_t(item.data.size());
            }
            std::vector<TBytes> own;
            if (item.width > 0)
                own.push_back(Box("ispe", [&] { TBytes s; Put(s, item.width, 4); Put(s, item.height, 4); return s; }(), 0));
            if (item.type == "hvc1")
                own.push_back(Box("hvcC", hvcC));
            if (!item.aux.empty())
                own.push_back(Box("auxC", [&] { TBytes s; PutText(s, item.aux); s.push_back(0); return s; }(), 0));
            if (own.empty())
                continue;
            ++entries;
            Put(associations, id, 2);
            associations.push_back(uint8_t(own.size()));
            for (const TBytes& property : own) {
                properties.insert(properties.end(), property.begin(), property.end());
                Put(associations, 0x8000 | ++index, 2);
            }
        }
        PutText(hdlr, "pict");
        hdlr.resize(hdlr.size() + 13, 0);
        TBytes ipma;
        Put(ipma, 1, 4);  // version 0, 16-bit property indices
        Put(ipma, entries, 4);
        ipma.insert(ipma.end(), associations.begin(), associations.end());
        for (const Reference& r : references) {
            TBytes link;
            Put(link, r.from, 2);
            Put(link, r.to.size(), 2);
            for (uint16_t to : r.to)
                Put(link, to, 2);
            const TBytes box = Box(r.type, link);
            links.insert(links.end(), box.begin(), box.end());
        }
        TBytes iprp = Box("ipco", properties), ipmaBox = Box("ipma", ipma);
        iprp.insert(iprp.end(), ipmaBox.begin(), ipmaBox.end());
        TBytes inner;
        for (const TBytes& box : {Box("hdlr", hdlr, 0), Box("pitm", {0, 1}, 0), Box("iinf", infos, 0),
                                  Box("iloc", locations, 0), Box("iref", links, 0), Box("iprp", iprp)})
            inner.insert(inner.end(), box.begin(), box.end());
        return Box("meta", inner, 0);
    };
    const uint32_t dataStart = uint32_t(ftyp.size() + meta(0).size() + 8);
    TBytes mdat;
    for (const Item& item : items)
        mdat.insert(mdat.end(), item.data.begin(), item.data.end());
    TBytes file = ftyp;
    for (const TBytes& box : {meta(dataStart), Box("mdat", mdat)})
        file.insert(file.end(), box.begin(), box.end());
    return file;
}

TBytes GridData(int rows, int columns, uint32_t width, uint32_t height)
{
    TBytes data = {0, 1, uint8_t(rows - 1), uint8_t(columns - 1)};
    Put(data, width, 4);
    Put(data, height, 4);
    return data;
}

enum class Outcome { Loads, Refused, OutOfBudget };

struct HostileCase {
    const char* name;
    std::vector<Item> items;  // "tile" data stands for the coded tile
    std::vector<Reference> references;
    Outcome outcome;
    int width;
    uint32_t auxiliaryPictures;
};

}  // namespace

TEST(HeifHostile, DeclaredSizesItemCountsAndGridsAreRefusedOrBoundedBeforeDecoding)
{
    if (!IsUsable(FormatRow(fiHeic)))
        GTEST_SKIP() << "built without libheif";
    TempDir dir;
    Pillow("Image.new('RGB', (1024, 1024), (90, 140, 200)).save(" + Quote(dir.File("t.png")) + ")");
    if (!HaveTool("/usr/bin/heif-enc"))
        GTEST_SKIP() << "no heif-enc";
    RunToolOnce("/usr/bin/heif-enc -q 10 " + Quote(dir.File("t.png")) + " -o " + Quote(dir.File("t.heic")));
    const TBytes made = ReadBytes(dir.File("t.heic"));
    const THeifLayout layout = ReadHeifLayout(made);
    const THeifItem& coded = *layout.Item(layout.primary);
    ASSERT_EQ(coded.type, "hvc1");
    ASSERT_EQ(coded.width, 1024u);
    const TBytes hvcC(coded.hvcC.begin(), coded.hvcC.end()), tile(coded.data.begin(), coded.data.end());
    const Item grid26{"grid", 26624, 26624, GridData(26, 26, 26624, 26624)};
    std::vector<Item> many = {{"hvc1", 1024, 1024, tile}};
    many.resize(5000, Item{"mime"});
    const HostileCase cases[] = {
        {"a grid of 26 x 26 references to one tile", {grid26, {"hvc1", 1024, 1024, tile}},
         {{"dimg", 1, std::vector<uint16_t>(676, 2)}}, Outcome::OutOfBudget, 0, 0},
        {"5000 items", many, {}, Outcome::Refused, 0, 0},
        {"64 x 64 declared, 1024 x 1024 coded", {{"hvc1", 64, 64, tile}}, {}, Outcome::Refused, 0, 0},
        {"2 x 2 tiles under 4096 x 4096", {{"grid", 4096, 4096, GridData(2, 2, 4096, 4096)}, {"hvc1", 1024, 1024, tile}},
         {{"dimg", 1, {2, 2, 2, 2}}}, Outcome::Refused, 0, 0},
        {"a grid declared larger than described", {{"grid", 2000, 2000, GridData(2, 2, 2000, 1900)},
         {"hvc1", 1024, 1024, tile}}, {{"dimg", 1, {2, 2, 2, 2}}}, Outcome::Refused, 0, 0},
        {"2 x 2 tiles under 2000 x 1900", {{"grid", 2000, 1900, GridData(2, 2, 2000, 1900)},
         {"hvc1", 1024, 1024, tile}}, {{"dimg", 1, {2, 2, 2, 2}}}, Outcome::Loads, 2000, 0},
        {"a thumbnail and a depth map", {{"hvc1", 1024, 1024, tile}, {"hvc1", 1024, 1024, tile},
         {"hvc1", 1024, 1024, tile, "urn:mpeg:hevc:2015:auxid:2"}},
         {{"thmb", 2, {1}}, {"auxl", 3, {1}}}, Outcome::Loads, 1024, 2},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("hostile.heic");
        WriteBytes(path, HeifOf(c.items, c.references, hvcC));
        const ChildRun run = RunInChild([&] {
            TMemoryBudget budget(uint64_t(1024) << 20);
            TMemoryAccount account(budget, budget.NextFileOrder());
            const TAccountScope scope(&account);
            try {
                TBitmapEx picture;
                picture.LoadFromFileEx(path);
                const bool right = picture.Width() == c.width &&
                                   picture.Metadata.source.auxiliaryPictures == c.auxiliaryPictures;
                return int(Outcome::Loads) + (right ? 0 : 10);
            } catch (const EOutOfResources&) {
                return int(Outcome::OutOfBudget);
            } catch (const EInvalidGraphic&) {
                return int(Outcome::Refused);
            }
        });
        EXPECT_EQ(run.status, int(c.outcome));
        EXPECT_LT(run.peakKb, 300 * 1024) << "peak KB";
    }
}
