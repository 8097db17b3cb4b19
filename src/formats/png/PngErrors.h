// The PNG codec's exception classes. Each carries its fixed English message;
// the texts reach the user through a failed file in the result list.
#pragma once

#include <string>

#include "common/Exceptions.h"

namespace corvalin {

#define CORVALIN_PNG_EXCEPTION(Name)                                   \
    class Name : public Exception {                                    \
    public:                                                            \
        Name();                                                        \
        explicit Name(const std::string& message) : Exception(message) {} \
    };

CORVALIN_PNG_EXCEPTION(EPNGInvalidFileHeader)
CORVALIN_PNG_EXCEPTION(EPngUnexpectedEnd)
CORVALIN_PNG_EXCEPTION(EPNGIHDRNotFirst)
CORVALIN_PNG_EXCEPTION(EPNGUnknownCriticalChunk)
CORVALIN_PNG_EXCEPTION(EPNGNoImageData)
CORVALIN_PNG_EXCEPTION(EPngInvalidCRC)
CORVALIN_PNG_EXCEPTION(EPngInvalidIHDR)
CORVALIN_PNG_EXCEPTION(EPNGSizeExceeds)
CORVALIN_PNG_EXCEPTION(EPNGUnknownCompression)
CORVALIN_PNG_EXCEPTION(EPNGUnknownInterlace)
CORVALIN_PNG_EXCEPTION(EPNGInvalidPalette)
CORVALIN_PNG_EXCEPTION(EPNGMissingMultipleIDAT)
CORVALIN_PNG_EXCEPTION(EPNGHeaderNotPresent)

#undef CORVALIN_PNG_EXCEPTION

// Misuse of a picture: a missing palette entry, incompatible chunks, resizing.
class EPngError : public Exception {
public:
    explicit EPngError(const std::string& message) : Exception(message) {}
};

// A zlib failure while inflating image data; the message ends with zlib's code text.
class EPNGZLIBError : public Exception {
public:
    explicit EPNGZLIBError(int zlibCode);
};

namespace pngmsg {
inline constexpr const char* NoSuchPaletteEntry = "There is no such palette entry.";
inline constexpr const char* ChunksNotCompatible = "The chunks must be compatible to be assigned.";
inline constexpr const char* CannotResize =
    "The \"Portable Network Graphics\" image can not be resize by changing width and height "
    "properties. Try assigning the image from a bitmap.";
}  // namespace pngmsg

// "data error (-3)" and the like; "unknown error (n)" for codes zlib does not define.
std::string ZlibCodeText(int zlibCode);

}  // namespace corvalin
