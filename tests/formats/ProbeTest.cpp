// Every row's probe says of a file what its full decode finds, without
// decoding: checked over the reader seeds of every format.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "TestSupport.h"
#include "common/Exceptions.h"
#include "formats/FormatTable.h"
#include "formats/Probe.h"

using namespace corvalin;

namespace {

// What the conversion decides by: more than 8 bits a sample or not.
bool Deep(const TProbe& probe)
{
    return probe.bitsPerSample > 8;
}

}  // namespace

TEST(Probe, EveryRowsProbeAgreesWithItsFullDecode)
{
    const std::filesystem::path seeds = std::filesystem::path(CORVALIN_SOURCE_DIR) / "fuzz/seeds";
    std::set<int> probed;
    for (const auto& folder : std::filesystem::directory_iterator(seeds)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            const std::string name = entry.path().string();
            const std::vector<uint8_t> bytes = testsupport::ReadBytes(name);
            const uint8_t index = ReaderIndexOf(FormatIndexOfName(name), bytes);
            const TFormatRow& row = FormatRow(index);
            if (!IsUsable(row) || entry.path().extension().empty())
                continue;
            TProbe decoded;
            try {
                decoded = ProbeByDecoding(row, bytes);
            } catch (const Exception&) {
                continue;  // a seed its reader refuses
            }
            if (row.Probe == nullptr)
                continue;
            // The row's own probe answers: the description is no second decode.
            ASSERT_TRUE(row.Probe(bytes).has_value()) << name;
            const std::optional<TProbe> probe = ProbeThroughRow(row, bytes);
            EXPECT_EQ(probe->width, decoded.width) << name;
            EXPECT_EQ(probe->height, decoded.height) << name;
            EXPECT_EQ(probe->orientation, decoded.orientation) << name;
            EXPECT_EQ(Deep(*probe), Deep(decoded)) << name;
            // A file may declare opacity that none of its pixels uses.
            EXPECT_TRUE(probe->alpha || !decoded.alpha) << name;
            EXPECT_EQ(probe->pictures, decoded.pictures) << name;
            EXPECT_EQ(probe->layers, decoded.layers) << name;
            probed.insert(index);
        }
    }
    for (size_t i = 0; i < FormatTable.size(); ++i)
        if (IsUsable(FormatTable[i]) && FormatTable[i].Probe != nullptr)
            EXPECT_TRUE(probed.contains(int(i + 1))) << FormatTable[i].Extension;
}
