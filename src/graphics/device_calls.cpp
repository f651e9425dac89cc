// The graphics calls that serve the Direct3D 9 back end and the movie
// overlay: the device format descriptors and the DirectDraw helpers.
#include "core/log.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"
#include "platform/ddraw/ddraw.h"

#include <cstring>

namespace {

constexpr int kFirstDeviceFormat = 20;  // D3DFMT_R8G8B8
constexpr int kLastDeviceFormat = 35;   // D3DFMT_A2R10G10B10

}  // namespace

// The descriptor of a device format code from 20 to 35, built on first use;
// null for other codes and codes without a descriptor.
const ColorFormatInfo* GetDeviceColorFormat(int d3dFormat) {
    static ColorFormatInfo formats[kLastDeviceFormat - kFirstDeviceFormat + 1];
    static bool known[kLastDeviceFormat - kFirstDeviceFormat + 1];
    static bool built = false;
    if (!built) {
        for (int code = kFirstDeviceFormat; code <= kLastDeviceFormat; ++code)
            known[code - kFirstDeviceFormat] = SetD3DFormatColorFormat(&formats[code - kFirstDeviceFormat], code) == 0;
        built = true;
    }
    if (d3dFormat < kFirstDeviceFormat || d3dFormat > kLastDeviceFormat) return nullptr;
    return known[d3dFormat - kFirstDeviceFormat] ? &formats[d3dFormat - kFirstDeviceFormat] : nullptr;
}

// Zeroes a DirectDraw capability block (its size filled in) and returns it.
DDCAPS* ClearDirectDrawCaps(DDCAPS* caps) {
    if (caps == nullptr) return nullptr;
    std::memset(caps, 0, sizeof(DDCAPS));
    caps->dwSize = sizeof(DDCAPS);
    return caps;
}

// The surface movie overlays are shown on: none is held.
void* GetOverlayDestinationSurface() { return nullptr; }
