/* libjpeg behind a C boundary. libjpeg reports a fatal error by calling a
 * function that must not return; here that function longjmps back into the
 * shim call that entered libjpeg, which then returns 0 with libjpeg's message
 * code and text in the session's failure. No C++ frame lies between the
 * setjmp and the longjmp, so nothing is ever unwound through libjpeg.
 * Warnings are not fatal: damaged data decodes as far as it goes, and the
 * session remembers that it did.
 *
 * Every call that can reach libjpeg's error exit goes through this shim; the
 * fields of the libjpeg structures may be read and set directly between the
 * calls. After a failure the session may only be closed. */
#ifndef CORVALIN_FORMATS_JPEG_JPEGSHIM_H
#define CORVALIN_FORMATS_JPEG_JPEGSHIM_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h> /* jpeglib.h needs FILE */

#include <jpeglib.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Why the last call failed. */
typedef struct CorvalinJpegFailure {
    int code;                    /* libjpeg's message code (J_MESSAGE_CODE) */
    char text[JMSG_LENGTH_MAX];  /* libjpeg's text for it, formatted */
} CorvalinJpegFailure;

typedef struct CorvalinJpegDecoder CorvalinJpegDecoder;
typedef struct CorvalinJpegEncoder CorvalinJpegEncoder;

/* What a decoder may use: libjpeg's memory for one session and the number of
 * scans after which a file counts as hostile (0: no limit). */
typedef struct CorvalinJpegLimits {
    long maxMemory;
    int maxScans;
} CorvalinJpegLimits;

/* Opens a session on a datastream held in memory and reads its header.
 * `tables` may hold an abbreviated stream of tables only (quantisation
 * and Huffman tables between SOI and EOI, as a TIFF file's JPEGTables keep
 * them) read before the image; pass NULL and 0 when the image carries its own.
 * The bytes must stay unchanged while the session lives. Returns NULL and
 * fills `failure` when libjpeg refuses the data or memory runs out. */
CorvalinJpegDecoder* corvalin_jpeg_decoder_open(const uint8_t* tables, size_t tablesSize,
                                                const uint8_t* data, size_t size,
                                                CorvalinJpegLimits limits,
                                                CorvalinJpegFailure* failure);
void corvalin_jpeg_decoder_close(CorvalinJpegDecoder* decoder);

/* libjpeg's state: header fields to read, decoding parameters to set before
 * corvalin_jpeg_decoder_start, output fields to read after it. */
struct jpeg_decompress_struct* corvalin_jpeg_decoder_info(CorvalinJpegDecoder* decoder);
const CorvalinJpegFailure* corvalin_jpeg_decoder_failure(const CorvalinJpegDecoder* decoder);
/* 1 when libjpeg has warned that it filled in cut-off or corrupt data. */
int corvalin_jpeg_decoder_damaged(const CorvalinJpegDecoder* decoder);

/* Each returns 1 on success and 0 on a fatal error. */
int corvalin_jpeg_decoder_has_multiple_scans(CorvalinJpegDecoder* decoder, int* multiple);
int corvalin_jpeg_decoder_start(CorvalinJpegDecoder* decoder);
/* Reads up to `count` rows; `*read` is 0 when libjpeg has nothing more. */
int corvalin_jpeg_decoder_read_rows(CorvalinJpegDecoder* decoder, JSAMPARRAY rows,
                                    unsigned count, unsigned* read);
/* Passes over up to `count` rows without colour-converting them; `*skipped`
 * says how many. The rows' data is still decoded, so damage is met exactly
 * where reading the rows would meet it. */
int corvalin_jpeg_decoder_skip_rows(CorvalinJpegDecoder* decoder, unsigned count,
                                    unsigned* skipped);
int corvalin_jpeg_decoder_finish(CorvalinJpegDecoder* decoder);

/* Opens a compression session whose output collects in memory, starting with
 * room for `expectedSize` bytes and doubling when that is not enough. Returns
 * NULL and fills `failure` when libjpeg cannot start. */
CorvalinJpegEncoder* corvalin_jpeg_encoder_open(size_t expectedSize, CorvalinJpegFailure* failure);
void corvalin_jpeg_encoder_close(CorvalinJpegEncoder* encoder);

/* Set image_width, image_height, input_components and in_color_space here
 * before corvalin_jpeg_encoder_start. */
struct jpeg_compress_struct* corvalin_jpeg_encoder_info(CorvalinJpegEncoder* encoder);
const CorvalinJpegFailure* corvalin_jpeg_encoder_failure(const CorvalinJpegEncoder* encoder);

/* Applies libjpeg's defaults for the input colour space, the quality (1..100)
 * as baseline tables and the JFIF density (unit 0: an aspect ratio, 1: dots
 * per inch), and writes the headers. Returns 1, or 0 on failure. */
int corvalin_jpeg_encoder_start(CorvalinJpegEncoder* encoder, int quality, uint8_t densityUnit,
                                uint16_t xDensity, uint16_t yDensity);
/* Writes one marker segment of `size` (at most 65533) bytes; only between
 * corvalin_jpeg_encoder_start and the first rows. Returns 1, or 0 on failure. */
int corvalin_jpeg_encoder_write_marker(CorvalinJpegEncoder* encoder, int marker,
                                       const uint8_t* data, size_t size);
int corvalin_jpeg_encoder_write_rows(CorvalinJpegEncoder* encoder, JSAMPARRAY rows, unsigned count);
/* Completes the datastream; `*bytes` and `*size` then name the output, which
 * stays owned by the session until it is closed. */
int corvalin_jpeg_encoder_finish(CorvalinJpegEncoder* encoder, const uint8_t** bytes, size_t* size);

#ifdef __cplusplus
}
#endif

#endif
