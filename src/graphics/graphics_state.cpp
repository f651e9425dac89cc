// The graphics state records and their setters: screen mode, blend mode,
// brightness, filter, transparent and background colours, creation settings
// and colour values.
#include "core/library.h"
#include "core/log.h"
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"

namespace {

int32_t Clamp255(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

bool IsSupportedDepth(int32_t bits) { return bits == 8 || bits == 16 || bits == 32; }

// The descriptor of a MEMIMG colour type, with or without alpha.
const ColorFormatInfo* FormatOf(int32_t colorType, bool alpha) {
    static ColorFormatInfo formats[4];
    static bool ready = false;
    if (!ready) {
        SetR5G6B5ColorFormat(&formats[0]);
        SetR5G6B5A8ColorFormat(&formats[1]);
        SetXRGB8ColorFormat(&formats[2]);
        SetARGB8ColorFormat(&formats[3]);
        ready = true;
    }
    return &formats[(colorType == kMemImgX8R8G8B8 ? 2 : 0) + (alpha ? 1 : 0)];
}

// The back buffer's format while the device draws, else null.
const ColorFormatInfo* ScreenDeviceFormat() {
    if (!Screen().d3dActive || Device().device == nullptr) return nullptr;
    return GetDeviceColorFormat(static_cast<int>(Device().backBufferFormat));
}

// The packed draw colour goes to the device's batch whenever it changes.
void StoreDeviceDrawColor() {
    if (Screen().d3dActive) Device().batch.drawColor = PackDrawColor();
}

}  // namespace

ScreenState& Screen() {
    static ScreenState state;
    return state;
}

SoftwareTargets& Targets() {
    static SoftwareTargets targets;
    return targets;
}

GraphicsSettings& Settings() {
    static GraphicsSettings settings;
    return settings;
}

int32_t ScreenColorType() { return GetScreenBitDepth() == 16 ? kMemImgR5G6B5 : kMemImgX8R8G8B8; }

int32_t ImageColorType() {
    int32_t bits = Settings().imageBitDepth;
    if (bits == 0) return ScreenColorType();
    return bits == 16 ? kMemImgR5G6B5 : kMemImgX8R8G8B8;
}

// ---- screen set-up ------------------------------------------------------------

int SetScreenMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate) {
    if (!IsValidScreenMode(width, height, bits)) {
        return WriteLogFormatted("画面モードの値が不正です(%d x %d, %d bit)", width, height, bits);
    }
    if (Screen().started) return ChangeScreenMode(width, height, bits, refreshRate);
    StoreScreenMode(width, height, bits, refreshRate);
    return 0;
}

void StoreScreenMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate) {
    ScreenState& s = Screen();
    s.width = width;
    s.height = height;
    s.colorDepth = bits;
    s.refreshRate = refreshRate > 0 ? refreshRate : 60;
    SetLibraryScreenMode(width, height, bits, s.refreshRate);
}

bool IsValidScreenMode(int32_t width, int32_t height, int32_t bits) {
    return width > 0 && height > 0 && IsSupportedDepth(bits);
}

int SetEmulate320x240(int32_t flag) {
    int32_t value = flag != 0 ? 1 : 0;
    if (g_drawState.emulate320x240 == value) return 0;
    g_drawState.emulate320x240 = value;
    const ScreenState& s = Screen();
    if (s.started) return ChangeScreenMode(s.width, s.height, GetScreenBitDepth(), s.refreshRate);
    return 0;
}

int32_t GetScreenBitDepth() {
    int32_t bits = Screen().colorDepth;
    return bits == 0 ? 16 : bits;
}

int SetBackgroundColor(int32_t red, int32_t green, int32_t blue) {
    GraphicsSettings& g = Settings();
    g.backgroundRed = Clamp255(red);
    g.backgroundGreen = Clamp255(green);
    g.backgroundBlue = Clamp255(blue);
    return 0;
}

int SetWaitVSyncFlag(int32_t wait) {
    g_drawState.noVsync = wait != 0 ? 0 : 1;
    return 0;
}

int GetDrawScreenSize(int32_t* width, int32_t* height) {
    const ScreenState& s = Screen();
    int32_t w = s.drawWidth, h = s.drawHeight;
    if (!s.started) {
        bool emulated = g_drawState.emulate320x240 && s.width == 640 && s.height == 480;
        w = emulated ? 320 : s.width;
        h = emulated ? 240 : s.height;
    }
    if (width != nullptr) *width = w;
    if (height != nullptr) *height = h;
    return 0;
}

// ---- draw state ------------------------------------------------------------------

int SetBlendMode(int32_t mode, int32_t parameter) {
    g_drawState.blendMode = mode;
    g_drawState.blendParameter = Clamp255(parameter);
    StoreDeviceDrawColor();
    return 0;
}

int SetDrawBrightness(int32_t red, int32_t green, int32_t blue) {
    g_drawState.brightnessRed = static_cast<uint8_t>(Clamp255(red));
    g_drawState.brightnessGreen = static_cast<uint8_t>(Clamp255(green));
    g_drawState.brightnessBlue = static_cast<uint8_t>(Clamp255(blue));
    StoreDeviceDrawColor();
    return 0;
}

int SetDrawBrightnessColor(uint32_t rgb) {
    return SetDrawBrightness(static_cast<int32_t>((rgb >> 16) & 0xFF), static_cast<int32_t>((rgb >> 8) & 0xFF),
                             static_cast<int32_t>(rgb & 0xFF));
}

uint32_t PackDrawColor() {
    const DrawState& d = g_drawState;
    uint32_t alpha = d.blendMode == kBlendNone ? 255u : static_cast<uint32_t>(d.blendParameter) & 0xFF;
    return (alpha << 24) | (static_cast<uint32_t>(d.brightnessRed) << 16) |
           (static_cast<uint32_t>(d.brightnessGreen) << 8) | d.brightnessBlue;
}

int SetTransparentColor(int32_t red, int32_t green, int32_t blue) {
    GraphicsSettings& g = Settings();
    g.transparentRed = Clamp255(red);
    g.transparentGreen = Clamp255(green);
    g.transparentBlue = Clamp255(blue);
    return 0;
}

int GetTransparentColor(int32_t* red, int32_t* green, int32_t* blue) {
    const GraphicsSettings& g = Settings();
    if (red != nullptr) *red = g.transparentRed;
    if (green != nullptr) *green = g.transparentGreen;
    if (blue != nullptr) *blue = g.transparentBlue;
    return 0;
}

int SetFilterMode(int32_t mode) {
    if (g_drawState.drawingSuspended || g_drawState.filterMode == mode) return 0;
    g_drawState.filterMode = mode;
    if (Screen().d3dActive) SetDeviceTextureFilter(mode);
    return 0;
}

// ---- colours ----------------------------------------------------------------------

uint32_t MakeColor(int32_t red, int32_t green, int32_t blue) {
    if (const ColorFormatInfo* device = ScreenDeviceFormat()) {
        return PackColorValue(device, Clamp255(red), Clamp255(green), Clamp255(blue), 255) | device->noneMask;
    }
    return MakeMemImgColor(ScreenColorType(), red, green, blue);
}

int SplitColor(uint32_t color, int32_t* red, int32_t* green, int32_t* blue) {
    int r = 0, g = 0, b = 0;
    const ColorFormatInfo* device = ScreenDeviceFormat();
    UnpackColorValue(device != nullptr ? device : FormatOf(ScreenColorType(), false), color, &r, &g, &b, nullptr);
    if (red != nullptr) *red = r;
    if (green != nullptr) *green = g;
    if (blue != nullptr) *blue = b;
    return 0;
}

// ---- creation settings ------------------------------------------------------------

int SetBlankImageAlpha(int32_t flag) {
    Settings().blankImageAlpha = flag != 0 ? 1 : 0;
    return 0;
}

int32_t GetBlankImageAlpha() { return Settings().blankImageAlpha; }

int SetImageBitDepth(int32_t bits) {
    if (bits != 0 && bits != 16 && bits != 32) return WriteLogFormatted("画像のビット深度 %d には対応していません", bits);
    Settings().imageBitDepth = bits;
    return 0;
}

int32_t GetImageBitDepth() { return Settings().imageBitDepth; }

int SetUseColorKey(int32_t flag) {
    Settings().useColorKey = flag != 0 ? 1 : 0;
    return 0;
}

int32_t GetUseColorKey() { return Settings().useColorKey; }

int SetHardwareAllowed(int32_t flag) {
    if (IsLibraryRunning()) return -1;
    Screen().hardwareOff = flag != 0 ? 0 : 1;
    return 0;
}

int32_t IsHardwareAllowed() { return Screen().hardwareOff ? 0 : 1; }

int32_t IsDirect3DActive() { return Screen().d3dActive; }

int SetTransparentFringeFix(int32_t flag) {
    g_drawState.transparentFringeFixOff = flag != 0 ? 0 : 1;
    return 0;
}

const ColorFormatInfo* GetImageColorFormat(int32_t alphaChannel, int32_t alphaTest, int32_t bits32, int32_t) {
    bool alpha = alphaChannel != 0 || alphaTest != 0;
    return FormatOf(bits32 ? kMemImgX8R8G8B8 : kMemImgR5G6B5, alpha);
}

int ResetGraphicsConfiguration() {
    if (Screen().started) return -1;
    Screen() = ScreenState{};
    Settings() = GraphicsSettings{};
    const DrawState defaults{};
    DrawState& d = g_drawState;
    d.emulate320x240 = defaults.emulate320x240;
    d.noVsync = defaults.noVsync;
    d.transparentFringeFixOff = defaults.transparentFringeFixOff;
    d.filterMode = defaults.filterMode;
    return 0;
}
