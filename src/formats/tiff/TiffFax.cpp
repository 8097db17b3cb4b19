#include "formats/tiff/TiffFax.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

namespace corvalin {

namespace {

struct TFaxCode {
    int32_t run;
    std::string_view bits;
};

// ITU-T T.4 terminating (0..63) and make-up (64..1728) codes.
constexpr TFaxCode kWhiteCodes[] = {
    {0, "00110101"}, {1, "000111"}, {2, "0111"}, {3, "1000"}, {4, "1011"}, {5, "1100"}, {6, "1110"},
    {7, "1111"}, {8, "10011"}, {9, "10100"}, {10, "00111"}, {11, "01000"}, {12, "001000"},
    {13, "000011"}, {14, "110100"}, {15, "110101"}, {16, "101010"}, {17, "101011"}, {18, "0100111"},
    {19, "0001100"}, {20, "0001000"}, {21, "0010111"}, {22, "0000011"}, {23, "0000100"},
    {24, "0101000"}, {25, "0101011"}, {26, "0010011"}, {27, "0100100"}, {28, "0011000"},
    {29, "00000010"}, {30, "00000011"}, {31, "00011010"}, {32, "00011011"}, {33, "00010010"},
    {34, "00010011"}, {35, "00010100"}, {36, "00010101"}, {37, "00010110"}, {38, "00010111"},
    {39, "00101000"}, {40, "00101001"}, {41, "00101010"}, {42, "00101011"}, {43, "00101100"},
    {44, "00101101"}, {45, "00000100"}, {46, "00000101"}, {47, "00001010"}, {48, "00001011"},
    {49, "01010010"}, {50, "01010011"}, {51, "01010100"}, {52, "01010101"}, {53, "00100100"},
    {54, "00100101"}, {55, "01011000"}, {56, "01011001"}, {57, "01011010"}, {58, "01011011"},
    {59, "01001010"}, {60, "01001011"}, {61, "00110010"}, {62, "00110011"}, {63, "00110100"},
    {64, "11011"}, {128, "10010"}, {192, "010111"}, {256, "0110111"}, {320, "00110110"},
    {384, "00110111"}, {448, "01100100"}, {512, "01100101"}, {576, "01101000"}, {640, "01100111"},
    {704, "011001100"}, {768, "011001101"}, {832, "011010010"}, {896, "011010011"},
    {960, "011010100"}, {1024, "011010101"}, {1088, "011010110"}, {1152, "011010111"},
    {1216, "011011000"}, {1280, "011011001"}, {1344, "011011010"}, {1408, "011011011"},
    {1472, "010011000"}, {1536, "010011001"}, {1600, "010011010"}, {1664, "011000"},
    {1728, "010011011"}};

constexpr TFaxCode kBlackCodes[] = {
    {0, "0000110111"}, {1, "010"}, {2, "11"}, {3, "10"}, {4, "011"}, {5, "0011"}, {6, "0010"},
    {7, "00011"}, {8, "000101"}, {9, "000100"}, {10, "0000100"}, {11, "0000101"}, {12, "0000111"},
    {13, "00000100"}, {14, "00000111"}, {15, "000011000"}, {16, "0000010111"}, {17, "0000011000"},
    {18, "0000001000"}, {19, "00001100111"}, {20, "00001101000"}, {21, "00001101100"},
    {22, "00000110111"}, {23, "00000101000"}, {24, "00000010111"}, {25, "00000011000"},
    {26, "000011001010"}, {27, "000011001011"}, {28, "000011001100"}, {29, "000011001101"},
    {30, "000001101000"}, {31, "000001101001"}, {32, "000001101010"}, {33, "000001101011"},
    {34, "000011010010"}, {35, "000011010011"}, {36, "000011010100"}, {37, "000011010101"},
    {38, "000011010110"}, {39, "000011010111"}, {40, "000001101100"}, {41, "000001101101"},
    {42, "000011011010"}, {43, "000011011011"}, {44, "000001010100"}, {45, "000001010101"},
    {46, "000001010110"}, {47, "000001010111"}, {48, "000001100100"}, {49, "000001100101"},
    {50, "000001010010"}, {51, "000001010011"}, {52, "000000100100"}, {53, "000000110111"},
    {54, "000000111000"}, {55, "000000100111"}, {56, "000000101000"}, {57, "000001011000"},
    {58, "000001011001"}, {59, "000000101011"}, {60, "000000101100"}, {61, "000001011010"},
    {62, "000001100110"}, {63, "000001100111"},
    {64, "0000001111"}, {128, "000011001000"}, {192, "000011001001"}, {256, "000001011011"},
    {320, "000000110011"}, {384, "000000110100"}, {448, "000000110101"}, {512, "0000001101100"},
    {576, "0000001101101"}, {640, "0000001001010"}, {704, "0000001001011"}, {768, "0000001001100"},
    {832, "0000001001101"}, {896, "0000001110010"}, {960, "0000001110011"}, {1024, "0000001110100"},
    {1088, "0000001110101"}, {1152, "0000001110110"}, {1216, "0000001110111"},
    {1280, "0000001010010"}, {1344, "0000001010011"}, {1408, "0000001010100"},
    {1472, "0000001010101"}, {1536, "0000001011010"}, {1600, "0000001011011"},
    {1664, "0000001100100"}, {1728, "0000001100101"}};

// Make-up codes beyond 1728, the same for both colours.
constexpr TFaxCode kExtendedCodes[] = {
    {1792, "00000001000"}, {1856, "00000001100"}, {1920, "00000001101"}, {1984, "000000010010"},
    {2048, "000000010011"}, {2112, "000000010100"}, {2176, "000000010101"}, {2240, "000000010110"},
    {2304, "000000010111"}, {2368, "000000011100"}, {2432, "000000011101"}, {2496, "000000011110"},
    {2560, "000000011111"}};

constexpr int32_t kNoCode = -1;
constexpr int32_t kEndOfLine = -2;

// A binary decoding tree: node 0 is the root; a leaf holds a run length.
class TCodeTree {
public:
    TCodeTree(std::span<const TFaxCode> codes)
    {
        nodes_.push_back({});
        for (std::span<const TFaxCode> table : {codes, std::span<const TFaxCode>(kExtendedCodes)})
            for (const TFaxCode& code : table) {
                size_t node = 0;
                for (char bit : code.bits) {
                    const size_t side = size_t(bit - '0');
                    if (nodes_[node].child[side] == 0) {
                        nodes_[node].child[side] = int32_t(nodes_.size());
                        nodes_.push_back({});
                    }
                    node = size_t(nodes_[node].child[side]);
                }
                nodes_[node].run = code.run;
            }
    }

    struct Node {
        std::array<int32_t, 2> child{};
        int32_t run = kNoCode;
    };
    const Node& At(size_t node) const { return nodes_[node]; }

private:
    std::vector<Node> nodes_;
};

const TCodeTree& WhiteTree()
{
    static const TCodeTree tree(kWhiteCodes);
    return tree;
}

const TCodeTree& BlackTree()
{
    static const TCodeTree tree(kBlackCodes);
    return tree;
}

// Sets `count` bits from bit `start` of the row.
void SetBits(uint8_t* row, size_t start, size_t count)
{
    while (count > 0 && start % 8 != 0) {
        row[start / 8] |= uint8_t(0x80 >> (start % 8));
        ++start;
        --count;
    }
    std::memset(row + start / 8, 0xFF, count / 8);
    start += count / 8 * 8;
    for (count %= 8; count > 0; --count, ++start)
        row[start / 8] |= uint8_t(0x80 >> (start % 8));
}

}  // namespace

class TCCITTDecoder::TBitReader {
public:
    explicit TBitReader(std::span<const uint8_t> data) : data_(data) {}

    bool AtEnd() const { return position_ >= data_.size() * 8; }
    int Bit()
    {
        const int bit = (data_[position_ / 8] >> (7 - position_ % 8)) & 1;
        ++position_;
        return bit;
    }
    // Skips to the next multiple of `bits` from the start of the block.
    void Align(size_t bits) { position_ = (position_ + bits - 1) / bits * bits; }

    // Eleven or more zero bits and a one. Consumes it when present.
    bool EndOfLine()
    {
        size_t p = position_, zeros = 0;
        while (p < data_.size() * 8 && ((data_[p / 8] >> (7 - p % 8)) & 1) == 0) {
            ++zeros;
            ++p;
        }
        if (zeros < 11 || p >= data_.size() * 8)
            return false;
        position_ = p + 1;
        return true;
    }
    // Moves past the next end-of-line code; false when there is none.
    bool SeekEndOfLine()
    {
        size_t zeros = 0;
        while (!AtEnd()) {
            if (Bit() == 0)
                ++zeros;
            else if (zeros >= 11)
                return true;
            else
                zeros = 0;
        }
        return false;
    }

    // The next code of the tree: a run length, kEndOfLine, or kNoCode for
    // bits that make no code or run out.
    int32_t Code(const TCodeTree& tree)
    {
        if (EndOfLine())
            return kEndOfLine;
        size_t node = 0;
        while (!AtEnd()) {
            node = size_t(tree.At(node).child[Bit()]);
            if (node == 0)
                return kNoCode;
            if (tree.At(node).run != kNoCode)
                return tree.At(node).run;
        }
        return kNoCode;
    }

private:
    std::span<const uint8_t> data_;
    size_t position_ = 0;
};

TCCITTDecoder::TCCITTDecoder(uint32_t group3Options, int32_t width)
    : options_(group3Options), width_(std::max(width, 0)), rowBytes_((size_t(width_) + 7) / 8)
{
}

bool TCCITTDecoder::DecodeRow(TBitReader& bits, uint8_t* row, bool& eol) const
{
    eol = false;
    const size_t width = size_t(width_);
    size_t x = 0;
    bool black = false;
    while (x < width) {
        size_t run = 0;
        for (;;) {
            const int32_t code = bits.Code(black ? BlackTree() : WhiteTree());
            if (code == kEndOfLine) {
                eol = true;
                return true;
            }
            if (code == kNoCode)
                return false;
            run += size_t(code);
            if (code < 64)
                break;
        }
        run = std::min(run, width - x);
        if (black)
            SetBits(row, x, run);
        x += run;
        black = !black;
    }
    return true;
}

TCCITTMHDecoder::TCCITTMHDecoder(uint32_t group3Options, int32_t width, bool wordAligned)
    : TCCITTDecoder(group3Options, width), wordAligned_(wordAligned)
{
}

size_t TCCITTMHDecoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    std::fill(unpacked.begin(), unpacked.end(), 0);
    if (rowBytes_ == 0)
        return 0;
    TBitReader bits(packed);
    size_t out = 0;
    bool eol = false;
    while (out + rowBytes_ <= unpacked.size() && !bits.AtEnd()) {
        const bool complete = DecodeRow(bits, unpacked.data() + out, eol);
        out += rowBytes_;
        if (!complete)
            break;
        bits.Align(wordAligned_ ? 16 : 8);
    }
    return out;
}

size_t TCCITTFax3Decoder::DecodeBlock(std::span<const uint8_t> packed, std::span<uint8_t> unpacked)
{
    std::fill(unpacked.begin(), unpacked.end(), 0);
    if (rowBytes_ == 0)
        return 0;
    TBitReader bits(packed);
    size_t out = 0;
    bool eol = false;
    while (out + rowBytes_ <= unpacked.size()) {
        if (!eol && !bits.SeekEndOfLine())
            break;
        // Consecutive end-of-line codes (fill, or the return to control at
        // the end of a page) hold no row.
        while (bits.EndOfLine()) {
        }
        if (bits.AtEnd())
            break;
        const bool complete = DecodeRow(bits, unpacked.data() + out, eol);
        out += rowBytes_;
        if (!complete)
            break;
    }
    return out;
}

}  // namespace corvalin
