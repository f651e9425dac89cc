// The device tests' world: the graphics tests' library start-up on SDL's
// offscreen driver (a headless OpenGL context, so the device can be made),
// the stand-in's call recording, and helpers to read the screen back.
#pragma once

#include "../graphics/graphics_test_util.h"
#include "d3d9/blend_tables.h"
#include "d3d9/d3d9_backend.h"
#include "image/image_decode.h"
#include "platform/d3d9/d3d9.h"

#include <algorithm>
#include <string>
#include <vector>

namespace device_test {

using graphics_test::GraphicsTest;
using graphics_test::Picture;
using graphics_test::ScreenMode;

// Calls recorded since the last Clear whose text starts with the prefix.
inline std::vector<std::string> CallsStarting(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& call : d3d9::RecordedCalls())
        if (call.rfind(prefix, 0) == 0) found.push_back(call);
    return found;
}

inline std::string RenderStateCall(int state, uint32_t value) {
    return "SetRenderState(" + std::to_string(state) + ", " + std::to_string(value) + ")";
}

// Index of the first recorded call starting with the prefix, or -1.
inline int CallIndex(const std::string& prefix) {
    const std::vector<std::string> calls = d3d9::RecordedCalls();
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    return -1;
}

// The library started with the device when one can be made.
class DeviceTest : public GraphicsTest {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        unsetenv("VELUMI_NO_HARDWARE");
        d3d9::RegisterRuntime(true);
        d3d9::RecheckHardware();
        Start(ScreenMode{});
        ASSERT_EQ(Screen().d3dActive, 1) << "no device on the offscreen driver";
        d3d9::SetCallRecording(true);
        d3d9::ClearRecordedCalls();
    }
    void TearDown() override {
        DeviceBlock& d = Device();
        d.multithreaded = d.softwareVertexOnly = d.compositionOff = d.drawRefusal = 0;
        d3d9::SetCallRecording(false);
        d3d9::ClearRecordedCalls();
        GraphicsTest::TearDown();
    }

    // Six vertices straight into the batch, no state applied.
    static void QueueRaw() {
        BeginDeviceScene();
        ReserveBatch(0, D3DPT_TRIANGLELIST, 6);
        CommitBatch(6);
    }

    // The draw target's pixels (0x00RRGGBB) through the screen lock.
    static Picture ReadScreen() {
        const DrawState& d = g_drawState;
        Picture p(d.drawTargetWidth, d.drawTargetHeight, 0);
        PixelImage locked{};
        EXPECT_EQ(LockDrawScreenRect(RECT{0, 0, p.width, p.height}, &locked), 0);
        if (locked.pixels == nullptr) return p;
        for (int y = 0; y < p.height; ++y) {
            const auto* row = static_cast<const uint8_t*>(locked.pixels) + static_cast<ptrdiff_t>(y) * locked.pitch;
            for (int x = 0; x < p.width; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, row + x * locked.format.pixelByte, locked.format.pixelByte);
                int r = 0, g = 0, b = 0;
                UnpackColorValue(&locked.format, v, &r, &g, &b, nullptr);
                p.At(x, y) = static_cast<uint32_t>(r << 16 | g << 8 | b);
            }
        }
        UnlockDrawScreen();
        return p;
    }
};

}  // namespace device_test
