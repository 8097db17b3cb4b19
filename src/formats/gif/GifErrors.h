// The GIF codec's exception class and messages. The messages are English:
// they reach the user only as the reason a file failed.
#pragma once

#include "common/Exceptions.h"

namespace corvalin {

class GIFException : public Exception {
public:
    explicit GIFException(const std::string& message) : Exception(message) {}
};

namespace gifmsg {
inline constexpr const char* PrematureEnd = "Premature end of data";
inline constexpr const char* BadSignature = "Invalid GIF signature";
inline constexpr const char* UnknownExtension = "Unknown extension type";
inline constexpr const char* BadAppExtensionSize = "Unsupported Application Extension block size";
inline constexpr const char* CircularTable = "Circular decoder table entry";
inline constexpr const char* NoColorTable = "No global or local color table defined";
inline constexpr const char* NoDibMemory = "Failed to allocate memory for GIF DIB";
inline constexpr const char* ColorNotInTable = "Color not in color table";
inline constexpr const char* SaveOfReadGif =
    "A GIF read from a file keeps only its first picture and cannot be written";
}  // namespace gifmsg

}  // namespace corvalin
