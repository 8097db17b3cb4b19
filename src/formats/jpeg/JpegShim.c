#include "formats/jpeg/JpegShim.h"

#include <setjmp.h>
#include <stdlib.h>
#include <string.h>

#include <jerror.h>

/* libjpeg's error manager with the place to return to and what went wrong.
 * Each shim call that enters libjpeg sets `exit` first; only C frames of
 * libjpeg lie between that call and the longjmp. */
typedef struct ShimError {
    struct jpeg_error_mgr pub;
    jmp_buf exit;
    CorvalinJpegFailure failure;
    int damaged; /* a warning said the data were cut short or corrupt */
} ShimError;

static void ExitWithFailure(j_common_ptr cinfo)
{
    ShimError* err = (ShimError*)cinfo->err;
    err->failure.code = err->pub.msg_code;
    err->pub.format_message(cinfo, err->failure.text);
    longjmp(err->exit, 1);
}

/* Warnings that libjpeg gives when it fills in what the data did not hold;
 * the others (an unknown JFIF revision, a damaged colour profile marker)
 * leave the picture whole. */
static int IsDamageWarning(int code)
{
    switch (code) {
    case JWRN_ARITH_BAD_CODE: case JWRN_BOGUS_PROGRESSION: case JWRN_EXTRANEOUS_DATA:
    case JWRN_HIT_MARKER: case JWRN_HUFF_BAD_CODE: case JWRN_JPEG_EOF: case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        return 1;
    default:
        return 0;
    }
}

/* Nothing is printed; warnings are counted and damage remembered. */
static void NoteMessage(j_common_ptr cinfo, int level)
{
    ShimError* err = (ShimError*)cinfo->err;
    if (level >= 0)
        return;
    err->pub.num_warnings++;
    if (IsDamageWarning(err->pub.msg_code))
        err->damaged = 1;
}

static void IgnoreOutput(j_common_ptr cinfo)
{
    (void)cinfo;
}

static void InstallErrorManager(ShimError* err)
{
    jpeg_std_error(&err->pub);
    err->pub.error_exit = ExitWithFailure;
    err->pub.emit_message = NoteMessage;
    err->damaged = 0;
    err->pub.output_message = IgnoreOutput;
}

/* libjpeg's own text for a code, for failures before a session exists. */
static void DescribeCode(CorvalinJpegFailure* failure, int code)
{
    struct jpeg_error_mgr err;
    struct jpeg_common_struct common;
    memset(&common, 0, sizeof common);
    common.err = jpeg_std_error(&err);
    err.msg_code = code;
    err.format_message(&common, failure->text);
    failure->code = code;
}

/* ---- decoding ---------------------------------------------------------- */

struct CorvalinJpegDecoder {
    struct jpeg_decompress_struct cinfo;
    ShimError err;
    struct jpeg_progress_mgr progress;
    int maxScans;
};

/* A legitimate progressive file has a few dozen scans; thousands of tiny
 * scans would make each of them walk the whole picture again. */
static void LimitScans(j_common_ptr cinfo)
{
    CorvalinJpegDecoder* decoder = (CorvalinJpegDecoder*)cinfo->client_data;
    if (decoder->maxScans <= 0 || decoder->cinfo.input_scan_number <= decoder->maxScans)
        return;
    /* JERR_BAD_PROGRESSION is the nearest of libjpeg's own codes. */
    decoder->err.failure.code = JERR_BAD_PROGRESSION;
    snprintf(decoder->err.failure.text, sizeof decoder->err.failure.text,
             "More than %d scans", decoder->maxScans);
    longjmp(decoder->err.exit, 1);
}

/* Reads a stream that holds only tables; the tables stay for the image. */
static void ReadTables(CorvalinJpegDecoder* decoder, const uint8_t* tables, size_t tablesSize)
{
    jpeg_mem_src(&decoder->cinfo, tables, (unsigned long)tablesSize);
    if (jpeg_read_header(&decoder->cinfo, FALSE) != JPEG_HEADER_TABLES_ONLY)
        jpeg_abort_decompress(&decoder->cinfo); /* an image there: keep its tables only */
}

/* The part of opening that can fail inside libjpeg. */
static int CreateAndReadHeader(CorvalinJpegDecoder* decoder, const uint8_t* tables,
                               size_t tablesSize, const uint8_t* data, size_t size, long maxMemory)
{
    if (setjmp(decoder->err.exit))
        return 0;
    jpeg_create_decompress(&decoder->cinfo);
    decoder->cinfo.mem->max_memory_to_use = maxMemory;
    decoder->progress.progress_monitor = LimitScans;
    decoder->cinfo.progress = &decoder->progress;
    if (tables != NULL && tablesSize > 0)
        ReadTables(decoder, tables, tablesSize);
    /* Reads stop at the end of the buffer; libjpeg then sees an end marker. */
    jpeg_mem_src(&decoder->cinfo, data, (unsigned long)size);
    jpeg_read_header(&decoder->cinfo, TRUE);
    return 1;
}

CorvalinJpegDecoder* corvalin_jpeg_decoder_open(const uint8_t* tables, size_t tablesSize,
                                                const uint8_t* data, size_t size,
                                                CorvalinJpegLimits limits,
                                                CorvalinJpegFailure* failure)
{
    /* Zeroed, so that destroying a half-created session is harmless. */
    CorvalinJpegDecoder* decoder = calloc(1, sizeof *decoder);
    if (decoder == NULL) {
        DescribeCode(failure, JERR_OUT_OF_MEMORY);
        return NULL;
    }
    InstallErrorManager(&decoder->err);
    decoder->cinfo.err = &decoder->err.pub;
    decoder->cinfo.client_data = decoder;
    decoder->maxScans = limits.maxScans;
    if (!CreateAndReadHeader(decoder, tables, tablesSize, data, size, limits.maxMemory)) {
        *failure = decoder->err.failure;
        corvalin_jpeg_decoder_close(decoder);
        return NULL;
    }
    return decoder;
}

void corvalin_jpeg_decoder_close(CorvalinJpegDecoder* decoder)
{
    if (decoder == NULL)
        return;
    jpeg_destroy_decompress(&decoder->cinfo);
    free(decoder);
}

struct jpeg_decompress_struct* corvalin_jpeg_decoder_info(CorvalinJpegDecoder* decoder)
{
    return &decoder->cinfo;
}

const CorvalinJpegFailure* corvalin_jpeg_decoder_failure(const CorvalinJpegDecoder* decoder)
{
    return &decoder->err.failure;
}

int corvalin_jpeg_decoder_damaged(const CorvalinJpegDecoder* decoder)
{
    return decoder->err.damaged;
}

int corvalin_jpeg_decoder_has_multiple_scans(CorvalinJpegDecoder* decoder, int* multiple)
{
    if (setjmp(decoder->err.exit))
        return 0;
    *multiple = jpeg_has_multiple_scans(&decoder->cinfo) ? 1 : 0;
    return 1;
}

int corvalin_jpeg_decoder_start(CorvalinJpegDecoder* decoder)
{
    if (setjmp(decoder->err.exit))
        return 0;
    jpeg_start_decompress(&decoder->cinfo);
    return 1;
}

int corvalin_jpeg_decoder_read_rows(CorvalinJpegDecoder* decoder, JSAMPARRAY rows,
                                    unsigned count, unsigned* read)
{
    if (setjmp(decoder->err.exit))
        return 0;
    *read = jpeg_read_scanlines(&decoder->cinfo, rows, count);
    return 1;
}

int corvalin_jpeg_decoder_skip_rows(CorvalinJpegDecoder* decoder, unsigned count,
                                    unsigned* skipped)
{
    if (setjmp(decoder->err.exit))
        return 0;
    *skipped = jpeg_skip_scanlines(&decoder->cinfo, count);
    return 1;
}

int corvalin_jpeg_decoder_finish(CorvalinJpegDecoder* decoder)
{
    if (setjmp(decoder->err.exit))
        return 0;
    jpeg_finish_decompress(&decoder->cinfo);
    return 1;
}

/* ---- encoding ---------------------------------------------------------- */

/* Collects the compressed bytes in one buffer that doubles when full. */
typedef struct MemoryDestination {
    struct jpeg_destination_mgr pub;
    JOCTET* buffer;
    size_t capacity;
    size_t used;
} MemoryDestination;

struct CorvalinJpegEncoder {
    struct jpeg_compress_struct cinfo;
    ShimError err;
    MemoryDestination dest;
};

enum { kMinDestination = 1 << 16 };

static void InitDestination(j_compress_ptr cinfo)
{
    MemoryDestination* dest = (MemoryDestination*)cinfo->dest;
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = dest->capacity;
}

/* libjpeg calls this only when the whole buffer is full. */
static boolean GrowDestination(j_compress_ptr cinfo)
{
    MemoryDestination* dest = (MemoryDestination*)cinfo->dest;
    const size_t used = dest->capacity;
    JOCTET* grown = used > SIZE_MAX / 2 ? NULL : realloc(dest->buffer, used * 2);
    if (grown == NULL)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest->buffer = grown;
    dest->capacity = used * 2;
    dest->pub.next_output_byte = grown + used;
    dest->pub.free_in_buffer = dest->capacity - used;
    return TRUE;
}

static void TermDestination(j_compress_ptr cinfo)
{
    MemoryDestination* dest = (MemoryDestination*)cinfo->dest;
    dest->used = dest->capacity - dest->pub.free_in_buffer;
}

static int Create(CorvalinJpegEncoder* encoder)
{
    if (setjmp(encoder->err.exit))
        return 0;
    jpeg_create_compress(&encoder->cinfo);
    encoder->cinfo.dest = &encoder->dest.pub;
    return 1;
}

CorvalinJpegEncoder* corvalin_jpeg_encoder_open(size_t expectedSize, CorvalinJpegFailure* failure)
{
    CorvalinJpegEncoder* encoder = calloc(1, sizeof *encoder);
    const size_t capacity = expectedSize > kMinDestination ? expectedSize : kMinDestination;
    if (encoder == NULL || (encoder->dest.buffer = malloc(capacity)) == NULL) {
        free(encoder);
        DescribeCode(failure, JERR_OUT_OF_MEMORY);
        return NULL;
    }
    encoder->dest.capacity = capacity;
    encoder->dest.pub.init_destination = InitDestination;
    encoder->dest.pub.empty_output_buffer = GrowDestination;
    encoder->dest.pub.term_destination = TermDestination;
    InstallErrorManager(&encoder->err);
    encoder->cinfo.err = &encoder->err.pub;
    if (!Create(encoder)) {
        *failure = encoder->err.failure;
        corvalin_jpeg_encoder_close(encoder);
        return NULL;
    }
    return encoder;
}

void corvalin_jpeg_encoder_close(CorvalinJpegEncoder* encoder)
{
    if (encoder == NULL)
        return;
    jpeg_destroy_compress(&encoder->cinfo);
    free(encoder->dest.buffer);
    free(encoder);
}

struct jpeg_compress_struct* corvalin_jpeg_encoder_info(CorvalinJpegEncoder* encoder)
{
    return &encoder->cinfo;
}

const CorvalinJpegFailure* corvalin_jpeg_encoder_failure(const CorvalinJpegEncoder* encoder)
{
    return &encoder->err.failure;
}

int corvalin_jpeg_encoder_start(CorvalinJpegEncoder* encoder, int quality, uint8_t densityUnit,
                                uint16_t xDensity, uint16_t yDensity)
{
    if (setjmp(encoder->err.exit))
        return 0;
    jpeg_set_defaults(&encoder->cinfo);
    jpeg_set_quality(&encoder->cinfo, quality, TRUE);
    encoder->cinfo.density_unit = densityUnit;
    encoder->cinfo.X_density = xDensity;
    encoder->cinfo.Y_density = yDensity;
    jpeg_start_compress(&encoder->cinfo, TRUE);
    return 1;
}

int corvalin_jpeg_encoder_write_marker(CorvalinJpegEncoder* encoder, int marker,
                                       const uint8_t* data, size_t size)
{
    if (setjmp(encoder->err.exit))
        return 0;
    /* libjpeg refuses more than 65533 bytes itself; a larger size_t must not
     * wrap into an acceptable one on the way. */
    if (size > 65533)
        ERREXIT(&encoder->cinfo, JERR_BAD_LENGTH);
    jpeg_write_marker(&encoder->cinfo, marker, data, (unsigned int)size);
    return 1;
}

int corvalin_jpeg_encoder_write_rows(CorvalinJpegEncoder* encoder, JSAMPARRAY rows, unsigned count)
{
    if (setjmp(encoder->err.exit))
        return 0;
    jpeg_write_scanlines(&encoder->cinfo, rows, count);
    return 1;
}

int corvalin_jpeg_encoder_finish(CorvalinJpegEncoder* encoder, const uint8_t** bytes, size_t* size)
{
    if (setjmp(encoder->err.exit))
        return 0;
    jpeg_finish_compress(&encoder->cinfo);
    *bytes = encoder->dest.buffer;
    *size = encoder->dest.used;
    return 1;
}
