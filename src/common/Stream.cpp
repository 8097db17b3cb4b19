#include "common/Stream.h"

#include <algorithm>
#include <cstring>

#include "common/Exceptions.h"

namespace corvalin {

void TStream::ReadBuffer(void* buffer, size_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(msg::StreamRead);
}

void TStream::WriteBuffer(const void* buffer, size_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(msg::StreamWrite);
}

size_t TMemoryStream::Read(void* buffer, size_t count)
{
    const size_t n = std::min(count, data_.size() - std::min(position_, data_.size()));
    if (n != 0)
        std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count)
{
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    // Overwrite what is there, then append the rest (no zero-filling first).
    const size_t overlap = std::min(count, data_.size() - std::min(position_, data_.size()));
    if (overlap != 0)
        std::memcpy(data_.data() + position_, bytes, overlap);
    data_.insert(data_.end(), bytes + overlap, bytes + count);
    position_ += count;
    return count;
}

void TMemoryStream::Seek(int64_t position)
{
    position_ = static_cast<size_t>(std::clamp<int64_t>(position, 0, Size()));
}

size_t TSpanStream::Read(void* buffer, size_t count)
{
    const size_t n = std::min(count, data_.size() - position_);
    if (n != 0)
        std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

void TSpanStream::Seek(int64_t position)
{
    position_ = static_cast<size_t>(std::clamp<int64_t>(position, 0, Size()));
}

}  // namespace corvalin
