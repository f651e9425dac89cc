// JPEG through libjpeg with a source manager of our own over a DataStream.
// Errors, and data that ends before the picture does (the stream's end or a
// marker inside the coded data), jump back here with longjmp; libjpeg writes
// no message anywhere. libjpeg's working memory and the number of scans of a
// progressive file are bounded, so that a small file cannot claim gigabytes
// or minutes.
#include "image/image_internal.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

using namespace image_internal;

namespace {

constexpr size_t kSourceBufferBytes = 4096;
// Real encoders write a handful of scans; every scan of a progressive file
// passes over the whole picture, so a file of thousands of tiny scans would
// decode for minutes.
constexpr int kMaxJpegScans = 100;

struct StreamSource {
    jpeg_source_mgr manager;
    DataStream* stream;
    JOCTET buffer[kSourceBufferBytes];
};

struct ErrorManager {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

// Everything that must survive a longjmp lives here, in heap memory.
struct JpegContext {
    jpeg_decompress_struct info;
    ErrorManager error;
    jpeg_progress_mgr progress;
    StreamSource source;
    uint8_t* cmykRow;
    PixelImage image;
    bool created;
};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr info) {
    auto* source = reinterpret_cast<StreamSource*>(info->src);
    size_t got = ReadStream(source->stream, source->buffer, kSourceBufferBytes);
    if (got == 0) ERREXIT(info, JERR_INPUT_EOF);  // a truncated file fails
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = got;
    return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
    auto* source = reinterpret_cast<StreamSource*>(info->src);
    while (count > 0) {
        if (source->manager.bytes_in_buffer == 0) FillInputBuffer(info);
        size_t step = size_t(count) < source->manager.bytes_in_buffer ? size_t(count) : source->manager.bytes_in_buffer;
        source->manager.next_input_byte += step;
        source->manager.bytes_in_buffer -= step;
        count -= long(step);
    }
}

void TermSource(j_decompress_ptr) {}

[[noreturn]] void ErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<ErrorManager*>(info->err);
    longjmp(error->jump, 1);
}
void OutputMessage(j_common_ptr) {}
// Warnings are ignored, except the one for coded data cut short by a marker:
// libjpeg would fill the rest of the picture with grey.
void EmitMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_HIT_MARKER) ErrorExit(info);
}

void CheckScanCount(j_common_ptr info) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxJpegScans) ErrorExit(info);
}

void FreeContext(JpegContext* context) {
    if (context->created) jpeg_destroy_decompress(&context->info);
    std::free(context->cmykRow);
    ReleasePixelImage(&context->image);
    std::free(context);
}

// Adobe CMYK is stored inverted: each byte is 255 - ink.
void CmykRowToBgr(const uint8_t* cmyk, uint8_t* bgr, unsigned width, bool inverted) {
    for (unsigned x = 0; x < width; ++x) {
        int c = cmyk[4 * x], m = cmyk[4 * x + 1], y = cmyk[4 * x + 2], k = cmyk[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[3 * x] = uint8_t(y * k / 255);
        bgr[3 * x + 1] = uint8_t(m * k / 255);
        bgr[3 * x + 2] = uint8_t(c * k / 255);
    }
}

}  // namespace

int DecodeJpegImage(DataStream* stream, PixelImage* out) {
    ClearPixelImageRecord(out);
    uint8_t soi[2];
    if (!ReadStreamExact(stream, soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return -1;

    auto* context = static_cast<JpegContext*>(std::calloc(1, sizeof(JpegContext)));
    if (context == nullptr) return -1;
    context->info.err = jpeg_std_error(&context->error.manager);
    context->error.manager.error_exit = ErrorExit;
    context->error.manager.output_message = OutputMessage;
    context->error.manager.emit_message = EmitMessage;
    if (setjmp(context->error.jump)) {
        FreeContext(context);
        return -1;
    }
    jpeg_create_decompress(&context->info);
    context->created = true;
    context->info.mem->max_memory_to_use = long(kMaxDecodeBytes);
    context->progress.progress_monitor = CheckScanCount;
    context->info.progress = &context->progress;
    // The two bytes already read are handed back through the buffer.
    context->source.stream = stream;
    context->source.buffer[0] = 0xFF;
    context->source.buffer[1] = 0xD8;
    context->source.manager.next_input_byte = context->source.buffer;
    context->source.manager.bytes_in_buffer = 2;
    context->source.manager.init_source = InitSource;
    context->source.manager.fill_input_buffer = FillInputBuffer;
    context->source.manager.skip_input_data = SkipInputData;
    context->source.manager.resync_to_restart = jpeg_resync_to_restart;
    context->source.manager.term_source = TermSource;
    context->info.src = &context->source.manager;

    jpeg_read_header(&context->info, TRUE);
    j_decompress_ptr info = &context->info;
    ColorFormatInfo format;
    int bytes;
    bool cmyk = false;
    if (info->num_components == 1) {
        info->out_color_space = JCS_GRAYSCALE;
        SetPalette8ColorFormat(&format, nullptr, 256, 0);
        bytes = 1;
    } else {
        cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
        info->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
        SetRGB8ColorFormat(&format);
        bytes = 3;
    }
    if (!IsDecodeSizeAllowed(info->image_width, info->image_height, bytes)) {
        FreeContext(context);
        return -1;
    }
    jpeg_start_decompress(info);
    if (info->output_width != info->image_width || info->output_height != info->image_height ||
        info->output_components != (cmyk ? 4 : bytes) ||
        !CreateDecodedImage(int(info->output_width), int(info->output_height), &format, &context->image)) {
        FreeContext(context);
        return -1;
    }
    if (cmyk) {
        context->cmykRow = static_cast<uint8_t*>(std::malloc(size_t(info->output_width) * 4));
        if (context->cmykRow == nullptr) {
            FreeContext(context);
            return -1;
        }
    }
    while (info->output_scanline < info->output_height) {
        JDIMENSION y = info->output_scanline;
        JSAMPROW row = cmyk ? context->cmykRow : PixelRow(&context->image, int(y));
        if (jpeg_read_scanlines(info, &row, 1) != 1) {
            FreeContext(context);
            return -1;
        }
        if (cmyk) CmykRowToBgr(context->cmykRow, PixelRow(&context->image, int(y)), info->output_width,
                               info->saw_Adobe_marker);
    }
    jpeg_finish_decompress(info);
    *out = context->image;
    ClearPixelImageRecord(&context->image);  // handed over
    FreeContext(context);
    return 0;
}
