#include "formats/png/PngErrors.h"

#include <zlib.h>

namespace corvalin {

#define CORVALIN_PNG_MESSAGE(Name, Text) \
    Name::Name() : Exception(Text) {}

CORVALIN_PNG_MESSAGE(EPNGInvalidFileHeader,
    "The file being readed is not a valid \"Portable Network Graphics\" image because it contains "
    "an invalid header. This file may be corruped, try obtaining it again.")
CORVALIN_PNG_MESSAGE(EPngUnexpectedEnd,
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected "
    "end of the file.")
CORVALIN_PNG_MESSAGE(EPNGIHDRNotFirst,
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n"
    "(IHDR chunk is not the first)")
CORVALIN_PNG_MESSAGE(EPNGUnknownCriticalChunk,
    "This \"Portable Network Graphics\" image contains an unknown critical part which could not be "
    "decoded.")
CORVALIN_PNG_MESSAGE(EPNGNoImageData,
    "This \"Portable Network Graphics\" image contains no data.")
CORVALIN_PNG_MESSAGE(EPngInvalidCRC,
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of "
    "data (crc error)")
CORVALIN_PNG_MESSAGE(EPngInvalidIHDR,
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece of "
    "data (ihdr) might be corrupted")
CORVALIN_PNG_MESSAGE(EPNGSizeExceeds,
    "This \"Portable Network Graphics\" image is not supported because either it's width or height "
    "exceeds the maximum size, which is 65535 pixels length.")
CORVALIN_PNG_MESSAGE(EPNGUnknownCompression,
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme which "
    "could not be decoded.")
CORVALIN_PNG_MESSAGE(EPNGUnknownInterlace,
    "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not be "
    "decoded.")
CORVALIN_PNG_MESSAGE(EPNGInvalidPalette,
    "The \"Portable Network Graphics\" image contains an invalid palette.")
CORVALIN_PNG_MESSAGE(EPNGMissingMultipleIDAT,
    "This \"Portable Network Graphics\" image is invalid because it has missing image parts.")
CORVALIN_PNG_MESSAGE(EPNGHeaderNotPresent,
    "This operation is not valid because the current image contains no valid header.")

#undef CORVALIN_PNG_MESSAGE

std::string ZlibCodeText(int zlibCode)
{
    switch (zlibCode) {
    case Z_NEED_DICT: return "need dictionary (2)";
    case Z_VERSION_ERROR: return "incompatible version (-6)";
    case Z_BUF_ERROR: return "buffer error (-5)";
    case Z_MEM_ERROR: return "insufficient memory (-4)";
    case Z_DATA_ERROR: return "data error (-3)";
    case Z_STREAM_ERROR: return "stream error (-2)";
    case Z_ERRNO: return "file error (-1)";
    default: return "unknown error (" + std::to_string(zlibCode) + ")";
    }
}

EPNGZLIBError::EPNGZLIBError(int zlibCode)
    : Exception("Could not decompress the image because it contains invalid compressed data.\r\n"
                " Description: " + ZlibCodeText(zlibCode))
{
}

}  // namespace corvalin
