// Byte streams: the abstract stream the codecs read from and write to, and an
// in-memory stream. Files are read whole into memory (see FileIO.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvalin {

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to count bytes; returns how many were read.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes up to count bytes; returns how many were accepted.
    virtual size_t Write(const void* buffer, size_t count) = 0;
    virtual int64_t Position() const = 0;
    virtual void Seek(int64_t position) = 0;
    virtual int64_t Size() const = 0;

    int64_t Remaining() const { return Size() - Position(); }
    // Reads exactly count bytes or throws EReadError "Stream-Lesefehler".
    void ReadBuffer(void* buffer, size_t count);
    // Writes exactly count bytes or throws EWriteError "Stream-Schreibfehler".
    void WriteBuffer(const void* buffer, size_t count);
    void WriteBuffer(std::span<const uint8_t> bytes) { WriteBuffer(bytes.data(), bytes.size()); }
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Position() const override { return static_cast<int64_t>(position_); }
    void Seek(int64_t position) override;
    int64_t Size() const override { return static_cast<int64_t>(data_.size()); }

    const std::vector<uint8_t>& Bytes() const { return data_; }
    std::vector<uint8_t> TakeBytes() { position_ = 0; return std::move(data_); }
    // The unread part, without copying.
    std::span<const uint8_t> RemainingBytes() const
    {
        return {data_.data() + position_, data_.size() - position_};
    }

private:
    std::vector<uint8_t> data_;
    size_t position_ = 0;
};

// A read-only view of bytes owned elsewhere.
class TSpanStream : public TStream {
public:
    explicit TSpanStream(std::span<const uint8_t> bytes) : data_(bytes) {}

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Position() const override { return static_cast<int64_t>(position_); }
    void Seek(int64_t position) override;
    int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
    std::span<const uint8_t> RemainingBytes() const { return data_.subspan(position_); }

private:
    std::span<const uint8_t> data_;
    size_t position_ = 0;
};

}  // namespace corvalin
