// The decoder table and the loaders over files, memory and caller streams.
#include "core/log.h"
#include "image/image_internal.h"

#include <cstdlib>
#include <cstring>

using namespace image_internal;

const ImageDecoder ImageDecoderTable[] = {
    {"BMP", DecodeBmpImage},   {"JPEG", DecodeJpegImage}, {"PNG", DecodePngImage},
    {"BGRA", DecodeBgraImage}, {"TGA", DecodeTgaImage},   {"DDS", DecodeDdsImage},
    {nullptr, nullptr},
};

namespace image_internal {

size_t ReadStream(DataStream* stream, void* buffer, size_t bytes) {
    if (bytes == 0) return 0;
    return stream->functions.Read(buffer, 1, bytes, stream->handle);
}

bool ReadStreamExact(DataStream* stream, void* buffer, size_t bytes) {
    size_t done = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    while (done < bytes) {
        size_t got = ReadStream(stream, p + done, bytes - done);
        if (got == 0) return false;
        done += got;
    }
    return true;
}

int64_t GetStreamBytesLeft(DataStream* stream) {
    int32_t position = stream->functions.Tell(stream->handle);
    if (position < 0 || stream->functions.Seek(stream->handle, 0, 2) != 0) return -1;
    int32_t end = stream->functions.Tell(stream->handle);
    if (stream->functions.Seek(stream->handle, position, 0) != 0) return -1;
    return end < position ? -1 : int64_t(end) - position;
}

bool ReadStreamUpTo(DataStream* stream, size_t maxBytes, uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    size_t capacity = maxBytes < (64u << 10) ? maxBytes : (64u << 10);
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(capacity ? capacity : 1));
    if (buffer == nullptr) return false;
    size_t used = 0;
    while (used < maxBytes) {
        if (used == capacity) {
            size_t grown = capacity * 2 > maxBytes ? maxBytes : capacity * 2;
            auto* bigger = static_cast<uint8_t*>(std::realloc(buffer, grown));
            if (bigger == nullptr) {
                std::free(buffer);
                return false;
            }
            buffer = bigger;
            capacity = grown;
        }
        size_t got = ReadStream(stream, buffer + used, capacity - used);
        if (got == 0) break;
        used += got;
    }
    *data = buffer;
    *size = used;
    return true;
}

}  // namespace image_internal

int DecodePixelImage(DataStream* stream, PixelImage* out) {
    ClearPixelImageRecord(out);
    int32_t start = stream->functions.Tell(stream->handle);
    if (start < 0) return -1;
    for (const ImageDecoder* decoder = ImageDecoderTable; decoder->Decode != nullptr; ++decoder) {
        if (stream->functions.Seek(stream->handle, start, 0) != 0) return -1;
        if (decoder->Decode(stream, out) == 0) return 0;
    }
    ClearPixelImageRecord(out);
    return -1;
}

int LoadPixelImage(const char* fileName, const void* fileImage, size_t fileImageSize, PixelImage* out) {
    ClearPixelImageRecord(out);
    DataStream stream;
    if (fileName != nullptr) {
        stream.functions = *GetFileStreamFunctions();
        stream.handle = OpenAccessFile(fileName, 0, 1, 0);
        if (stream.handle == 0) {
            WriteLogFormatted("画像ファイル %s のオープンに失敗しました in LoadPixelImage", fileName);
            return -1;
        }
    } else {
        if (fileImage == nullptr) return -1;
        stream.functions = *GetMemoryStreamFunctions();
        stream.handle = OpenMemStream(fileImage, fileImageSize);
        if (stream.handle == 0) {
            WriteLog("メモリストリームの作成に失敗しました in LoadPixelImage\n");
            return -1;
        }
    }
    int result = DecodePixelImage(&stream, out);
    stream.functions.Close(stream.handle);
    if (result != 0) {
        if (fileName != nullptr)
            WriteLogFormatted("画像ファイル %s の読み込みに失敗しました in LoadPixelImage", fileName);
        else
            WriteLog("メモリ上の画像の読み込みに失敗しました in LoadPixelImage\n");
        return -1;
    }
    return 0;
}
