// Program icons by resource id, read from PNG files or given as pixels.
#include "platform/kernel32/kernel32.h"
#include "platform/user32/internal.h"

#include <png.h>

#include <map>
#include <mutex>

namespace {

struct IconResource {
    std::string path;  // empty when given as pixels
    bool loaded = false;
    bool failed = false;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
};

constexpr uintptr_t kIconHandleBase = 0x1C0000;
constexpr int kApplicationIcon = 32512;

std::mutex g_iconMutex;
std::map<int, IconResource>& Icons() {
    static auto* icons = new std::map<int, IconResource>();
    return *icons;
}

bool DecodePng(const std::string& path, IconResource* icon) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::string native = platform::PathToNative(path.c_str());
    if (!png_image_begin_read_from_file(&image, native.c_str())) return false;
    image.format = PNG_FORMAT_BGRA;  // in memory: B, G, R, A = 0xAARRGGBB words
    if (image.width == 0 || image.height == 0 || image.width > 1024 || image.height > 1024) {
        png_image_free(&image);
        return false;
    }
    std::vector<uint32_t> pixels(static_cast<size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    icon->width = static_cast<int>(image.width);
    icon->height = static_cast<int>(image.height);
    icon->argb.swap(pixels);
    return true;
}

}  // namespace

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!IS_INTRESOURCE(name)) return platform::FailWith(ERROR_RESOURCE_NAME_NOT_FOUND, nullptr);
    int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
    {
        std::lock_guard<std::mutex> lock(g_iconMutex);
        if (Icons().count(id)) return reinterpret_cast<HICON>(kIconHandleBase + id);
    }
    if (instance == nullptr && id >= kApplicationIcon && id <= kApplicationIcon + 6)
        return reinterpret_cast<HICON>(kIconHandleBase + id);
    return platform::FailWith(ERROR_RESOURCE_NAME_NOT_FOUND, nullptr);
}

BOOL DestroyIcon(HICON icon) { return icon != nullptr ? TRUE : FALSE; }

namespace platform {

void RegisterIconFile(int resourceId, const std::string& pngPath) {
    std::lock_guard<std::mutex> lock(g_iconMutex);
    IconResource icon;
    icon.path = pngPath;
    Icons()[resourceId] = icon;
}

void RegisterIconPixels(int resourceId, int width, int height, const uint32_t* argb) {
    if (argb == nullptr || width <= 0 || height <= 0) return;
    std::lock_guard<std::mutex> lock(g_iconMutex);
    IconResource icon;
    icon.loaded = true;
    icon.width = width;
    icon.height = height;
    icon.argb.assign(argb, argb + static_cast<size_t>(width) * height);
    Icons()[resourceId] = icon;
}

void ClearIconResources() {
    std::lock_guard<std::mutex> lock(g_iconMutex);
    Icons().clear();
}

bool GetIconPixels(HICON icon, int* width, int* height, std::vector<uint32_t>* argb) {
    uintptr_t value = reinterpret_cast<uintptr_t>(icon);
    if (value < kIconHandleBase || value > kIconHandleBase + 0xFFFF) return false;
    int id = static_cast<int>(value - kIconHandleBase);
    std::lock_guard<std::mutex> lock(g_iconMutex);
    auto it = Icons().find(id);
    if (it == Icons().end()) return false;
    IconResource& r = it->second;
    if (!r.loaded && !r.failed) {
        r.loaded = DecodePng(r.path, &r);
        r.failed = !r.loaded;
    }
    if (!r.loaded) return false;
    *width = r.width;
    *height = r.height;
    *argb = r.argb;
    return true;
}

}  // namespace platform
