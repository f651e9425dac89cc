// PNG through libpng, read through a DataStream. Errors jump back here with
// longjmp; libpng writes nothing to stderr.
#include "image/image_internal.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

using namespace image_internal;

namespace {

// Everything that must survive a longjmp lives here, in heap memory, so that
// no local of the decoding function changes after setjmp.
struct PngContext {
    DataStream* stream;
    png_structp png;
    png_infop info;
    png_bytep* rows;
    PixelImage image;
};

void ReadCallback(png_structp png, png_bytep data, size_t length) {
    auto* context = static_cast<PngContext*>(png_get_io_ptr(png));
    if (!ReadStreamExact(context->stream, data, length)) png_error(png, "read past the end");
}

[[noreturn]] void ErrorCallback(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void WarningCallback(png_structp, png_const_charp) {}

void FreeContext(PngContext* context) {
    if (context->png != nullptr) png_destroy_read_struct(&context->png, &context->info, nullptr);
    std::free(context->rows);
    ReleasePixelImage(&context->image);
    std::free(context);
}

// Sets the transformations and the picture format; returns the bytes per
// output pixel.
int SetUpTransforms(png_structp png, png_infop info, ColorFormatInfo* format) {
    int colorType = png_get_color_type(png, info);
    int bitDepth = png_get_bit_depth(png, info);
    bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (bitDepth == 16) png_set_strip_16(png);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) png_set_interlace_handling(png);

    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp plte = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &plte, &count);
        png_bytep alpha = nullptr;
        int alphaCount = 0;
        png_color_16p unused;
        if (hasTrns) png_get_tRNS(png, info, &alpha, &alphaCount, &unused);
        uint32_t palette[256];
        for (int i = 0; i < 256; ++i) {
            uint32_t a = (alpha != nullptr && i < alphaCount) ? alpha[i] : 255;
            palette[i] = i < count ? (a << 24 | uint32_t(plte[i].red) << 16 | uint32_t(plte[i].green) << 8 | plte[i].blue)
                                   : 0xFF000000u;
        }
        SetPalette8ColorFormat(format, palette, 256, hasTrns ? 1 : 0);
        if (bitDepth < 8) png_set_packing(png);
        return 1;
    }
    if (colorType == PNG_COLOR_TYPE_GRAY && !hasTrns) {
        if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
        SetPalette8ColorFormat(format, nullptr, 256, 0);
        return 1;
    }
    // Everything else becomes B, G, R (, A) bytes.
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    if (hasTrns) png_set_tRNS_to_alpha(png);
    png_set_bgr(png);
    bool alpha = hasTrns || (colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if (alpha) {
        SetARGB8ColorFormat(format);
        return 4;
    }
    SetRGB8ColorFormat(format);
    return 3;
}

}  // namespace

int DecodePngImage(DataStream* stream, PixelImage* out) {
    ClearPixelImageRecord(out);
    uint8_t signature[8];
    if (!ReadStreamExact(stream, signature, sizeof(signature)) || png_sig_cmp(signature, 0, 8) != 0) return -1;

    auto* context = static_cast<PngContext*>(std::calloc(1, sizeof(PngContext)));
    if (context == nullptr) return -1;
    context->stream = stream;
    context->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, context, ErrorCallback, WarningCallback);
    if (context->png == nullptr) {
        FreeContext(context);
        return -1;
    }
    context->info = png_create_info_struct(context->png);
    if (context->info == nullptr) {
        FreeContext(context);
        return -1;
    }
    if (setjmp(png_jmpbuf(context->png))) {
        FreeContext(context);
        return -1;
    }
    png_set_read_fn(context->png, context, ReadCallback);
    png_set_sig_bytes(context->png, 8);
    png_set_user_limits(context->png, kMaxDecodeDimension, kMaxDecodeDimension);
    png_set_chunk_malloc_max(context->png, 8u << 20);
    // Only IHDR, PLTE, tRNS, IDAT and IEND matter here; every other chunk is
    // skipped unread. libpng only warns about an oversized chunk while
    // reading, so a text or profile chunk whose length field is broken would
    // otherwise get a buffer of that length.
    png_set_keep_unknown_chunks(context->png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(context->png, context->info);

    uint32_t width = png_get_image_width(context->png, context->info);
    uint32_t height = png_get_image_height(context->png, context->info);
    ColorFormatInfo format;
    int bytes = SetUpTransforms(context->png, context->info, &format);
    png_read_update_info(context->png, context->info);
    if (png_get_rowbytes(context->png, context->info) != size_t(width) * bytes ||
        !IsDecodeSizeAllowed(width, height, bytes) ||
        !CreateDecodedImage(int(width), int(height), &format, &context->image)) {
        FreeContext(context);
        return -1;
    }
    context->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (context->rows == nullptr) {
        FreeContext(context);
        return -1;
    }
    for (uint32_t y = 0; y < height; ++y) context->rows[y] = PixelRow(&context->image, int(y));
    png_read_image(context->png, context->rows);

    *out = context->image;
    ClearPixelImageRecord(&context->image);  // handed over
    FreeContext(context);
    return 0;
}
