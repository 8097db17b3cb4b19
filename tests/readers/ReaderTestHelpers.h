// Shared by the PCX, PSD and Photo CD reader tests: catching messages.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/Exceptions.h"
#include "formats/BitmapEx.h"
#include "picture/Raster.h"

namespace readertest {

// The message of the exception a load raises; empty when it succeeds.
inline std::string LoadError(const std::string& path)
{
    corvalin::TBitmapEx picture;
    try {
        picture.LoadFromFileEx(path);
    } catch (const corvalin::Exception& e) {
        return e.Message();
    }
    return "";
}

inline void Put16LE(std::vector<uint8_t>& out, size_t at, uint16_t v)
{
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}

}  // namespace readertest
