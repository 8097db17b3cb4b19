#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/ByteCursor.h"
#include "common/Exceptions.h"

namespace corvalin {
namespace {

TEST(ByteCursor, ReadsBothByteOrdersAndStopsAtTheEnd)
{
    const std::vector<uint8_t> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A};
    TByteCursor cursor(bytes);
    EXPECT_EQ(cursor.U32LE(), 0x78563412u);
    EXPECT_EQ(cursor.Remaining(), 1u);
    EXPECT_THROW(cursor.U16BE(), EReadError);
    EXPECT_EQ(cursor.Position(), 4u);  // a failed read does not move
    cursor.Seek(1);
    EXPECT_EQ(cursor.U16BE(), 0x3456);
    EXPECT_EQ(cursor.U16(TByteOrder::LittleEndian), 0x9A78);
}

TEST(ByteCursor, SubSpansAreCheckedWithoutOverflow)
{
    const std::vector<uint8_t> bytes(8, 0);
    const TByteCursor cursor(bytes);
    EXPECT_EQ(cursor.At(8, 0).size(), 0u);
    EXPECT_THROW(cursor.At(9, 0), EReadError);
    EXPECT_THROW(cursor.At(4, SIZE_MAX - 2), EReadError);
    EXPECT_THROW(cursor.At(SIZE_MAX, 2), EReadError);
}

[[noreturn]] void ThrowFormatError()
{
    throw EInvalidGraphic("kurz");
}

TEST(ByteCursor, ShortInputThrowsTheReadersOwnError)
{
    const std::vector<uint8_t> bytes = {1};
    TByteCursor cursor(bytes, ThrowFormatError);
    EXPECT_THROW(cursor.Skip(2), EInvalidGraphic);
}

TEST(ByteCursor, PutHelpersMatchTheGetters)
{
    std::vector<uint8_t> out;
    Put32(out, 0x01020304, TByteOrder::BigEndian);
    Put16(out, 0x0506, TByteOrder::LittleEndian);
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3, 4, 6, 5}));
    EXPECT_EQ(Get32(out.data(), TByteOrder::BigEndian), 0x01020304u);
}

}  // namespace
}  // namespace corvalin
