#include "formats/tiff/TiffJpegShim.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>

namespace corvalin {

struct TJpegSession {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    std::jmp_buf jump;
    bool created = false;
};

namespace {

void JumpOnError(j_common_ptr info)
{
    auto* session = reinterpret_cast<TJpegSession*>(info->client_data);
    std::longjmp(session->jump, 1);
}

// Warnings and trace messages are not shown: a batch must never wait on them.
void DropMessage(j_common_ptr, int) {}
void DropOutput(j_common_ptr) {}

int ErrorCode(const TJpegSession* session)
{
    return session->errors.msg_code != 0 ? session->errors.msg_code : -1;
}

J_COLOR_SPACE ColorSpaceOf(TJpegColor color)
{
    switch (color) {
    case TJpegColor::Grey:
        return JCS_GRAYSCALE;
    case TJpegColor::RGB:
        return JCS_RGB;
    case TJpegColor::YCbCr:
        return JCS_YCbCr;
    case TJpegColor::CMYK:
        return JCS_CMYK;
    default:
        return JCS_UNKNOWN;
    }
}

}  // namespace

TJpegSession* JpegSessionCreate()
{
    auto* session = new (std::nothrow) TJpegSession{};
    if (session == nullptr)
        return nullptr;
    session->info.err = jpeg_std_error(&session->errors);
    session->errors.error_exit = JumpOnError;
    session->errors.emit_message = DropMessage;
    session->errors.output_message = DropOutput;
    session->info.client_data = session;
    if (setjmp(session->jump) != 0) {
        delete session;
        return nullptr;
    }
    jpeg_create_decompress(&session->info);
    session->created = true;
    return session;
}

void JpegSessionDestroy(TJpegSession* session)
{
    if (session == nullptr)
        return;
    if (session->created && setjmp(session->jump) == 0)
        jpeg_destroy_decompress(&session->info);
    delete session;
}

int JpegReadTables(TJpegSession* session, const uint8_t* data, size_t size, bool& tablesOnly)
{
    if (setjmp(session->jump) != 0)
        return ErrorCode(session);
    jpeg_mem_src(&session->info, data, static_cast<unsigned long>(size));
    tablesOnly = jpeg_read_header(&session->info, FALSE) == JPEG_HEADER_TABLES_ONLY;
    return 0;
}

int JpegReadHeader(TJpegSession* session, const uint8_t* data, size_t size, TJpegBlockHeader& header)
{
    if (setjmp(session->jump) != 0)
        return ErrorCode(session);
    jpeg_abort_decompress(&session->info);
    jpeg_mem_src(&session->info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&session->info, TRUE) != JPEG_HEADER_OK)
        return -1;
    const jpeg_decompress_struct& info = session->info;
    header.width = info.image_width;
    header.height = info.image_height;
    header.components = info.num_components;
    header.precision = info.data_precision;
    header.firstH = info.comp_info[0].h_samp_factor;
    header.firstV = info.comp_info[0].v_samp_factor;
    header.othersOneByOne = true;
    for (int c = 1; c < info.num_components; ++c)
        if (info.comp_info[c].h_samp_factor != 1 || info.comp_info[c].v_samp_factor != 1)
            header.othersOneByOne = false;
    return 0;
}

int JpegStartDecompress(TJpegSession* session, TJpegColor stored, TJpegColor output)
{
    if (setjmp(session->jump) != 0)
        return ErrorCode(session);
    session->info.jpeg_color_space = ColorSpaceOf(stored);
    session->info.out_color_space = ColorSpaceOf(output);
    session->info.raw_data_out = FALSE;
    jpeg_start_decompress(&session->info);
    return 0;
}

int JpegReadRows(TJpegSession* session, uint8_t* out, size_t rowBytes, uint32_t rows, uint32_t& rowsRead)
{
    rowsRead = 0;
    if (setjmp(session->jump) != 0)
        return ErrorCode(session);
    jpeg_decompress_struct& info = session->info;
    const size_t needed = size_t(info.output_width) * size_t(info.output_components);
    if (needed > rowBytes)
        return -1;
    while (rowsRead < rows && info.output_scanline < info.output_height) {
        JSAMPROW row = out + size_t(rowsRead) * rowBytes;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            break;
        ++rowsRead;
    }
    return 0;
}

void JpegAbortBlock(TJpegSession* session)
{
    if (setjmp(session->jump) == 0)
        jpeg_abort_decompress(&session->info);
}

}  // namespace corvalin
