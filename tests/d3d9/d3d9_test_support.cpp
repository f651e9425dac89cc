#include "d3d9_test_support.h"

#include "platform/seams/seams.h"
#include "platform/user32/user32.h"
#include "../temp_folder.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace d3d9test {
namespace {

// CTest starts every test with the dummy video driver, which has no OpenGL.
const bool kOffscreen = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    return true;
}();

LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The private window-registry directory of this test program.
std::string& RegistryDirectory() {
    static std::string directory;
    return directory;
}

// The directory goes when the test program ends (with any entry a window left behind).
void RemoveRegistryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(RegistryDirectory(), ignored);
}

}  // namespace

bool Near(uint32_t a, uint32_t b, int tolerance, bool withAlpha) {
    for (int shift = 0; shift < (withAlpha ? 32 : 24); shift += 8)
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) return false;
    return true;
}

const std::string& HeadlessRegistryDirectory() { return RegistryDirectory(); }

void PrepareHeadless() {
    (void)kOffscreen;
    std::string& directory = RegistryDirectory();
    if (directory.empty()) {
        directory = test_temp::MakeFolder("d3d9-windows");
        if (!directory.empty()) std::atexit(RemoveRegistryDirectory);
    }
    platform::SetWindowRegistryDirectory(directory);
    seams::ClearAllCalls();
    seams::SetNoWait(true);
    d3d9::RegisterRuntime(true);
}

HWND MakeWindow(int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "D3D9Test";
        RegisterClassExA(&wc);
        registered = true;
    }
    return CreateWindowExA(0, "D3D9Test", "d3d9", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                           nullptr, nullptr);
}

D3DPRESENT_PARAMETERS DeviceTest::WindowParams() const {
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = kWidth;
    p.BackBufferHeight = kHeight;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_COPY;
    p.hDeviceWindow = window_;
    p.Windowed = TRUE;
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return p;
}

void DeviceTest::SetUp() {
    PrepareHeadless();
    if (!d3d9::HardwareAvailable()) GTEST_SKIP() << "no OpenGL 3.3 core context on this machine";
    window_ = MakeWindow(kWidth, kHeight);
    ASSERT_NE(window_, nullptr);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS p = WindowParams();
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device_),
              D3D_OK);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

void DeviceTest::TearDown() {
    if (device_ != nullptr) { EXPECT_EQ(device_->Release(), 0u); }
    if (d3d_ != nullptr) { EXPECT_EQ(d3d_->Release(), 0u); }
    if (window_ != nullptr) DestroyWindow(window_);
    seams::ClearAllCalls();
    d3d9::SetCallRecording(false);
    d3d9::ClearRecordedCalls();
}

std::vector<uint32_t> DeviceTest::ReadTarget(IDirect3DSurface9* target) {
    std::vector<uint32_t> pixels;
    IDirect3DSurface9* rt = target;
    if (rt == nullptr && device_->GetRenderTarget(0, &rt) != D3D_OK) return pixels;
    if (target != nullptr) rt->AddRef();
    D3DSURFACE_DESC desc;
    rt->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    if (device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy,
                                             nullptr) == D3D_OK &&
        device_->GetRenderTargetData(rt, copy) == D3D_OK) {
        D3DLOCKED_RECT locked;
        if (copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            for (UINT y = 0; y < desc.Height; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                                    y * locked.Pitch);
                pixels.insert(pixels.end(), row, row + desc.Width);
            }
            copy->UnlockRect();
        }
    }
    if (copy != nullptr) copy->Release();
    rt->Release();
    return pixels;
}

IDirect3DTexture9* DeviceTest::MakeTexture(int w, int h, D3DFORMAT format, const std::vector<uint32_t>& argb) {
    IDirect3DTexture9* texture = nullptr;
    if (device_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr) != D3D_OK) return nullptr;
    D3DLOCKED_RECT locked;
    if (texture->LockRect(0, &locked, nullptr, 0) != D3D_OK) return texture;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t c = argb[static_cast<size_t>(y) * w + x];
            auto* row = static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch;
            if (format == D3DFMT_R5G6B5) {
                auto v = static_cast<uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x1F));
                std::memcpy(row + x * 2, &v, 2);
            } else {
                std::memcpy(row + x * 4, &c, 4);
            }
        }
    texture->UnlockRect(0);
    return texture;
}

void DeviceTest::DrawTexturedQuad(float x0, float y0, float x1, float y1, DWORD diffuse, float u1, float v1) {
    // Whole pixels minus half a pixel: texel centres land on pixel centres.
    TexVertex v[6] = {
        {x0 - 0.5f, y0 - 0.5f, 0.2f, 1, diffuse, 0, 0},  {x1 - 0.5f, y0 - 0.5f, 0.2f, 1, diffuse, u1, 0},
        {x0 - 0.5f, y1 - 0.5f, 0.2f, 1, diffuse, 0, v1}, {x0 - 0.5f, y1 - 0.5f, 0.2f, 1, diffuse, 0, v1},
        {x1 - 0.5f, y0 - 0.5f, 0.2f, 1, diffuse, u1, 0}, {x1 - 0.5f, y1 - 0.5f, 0.2f, 1, diffuse, u1, v1},
    };
    device_->SetFVF(kTexFvf);
    device_->BeginScene();
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TexVertex)), D3D_OK);
    device_->EndScene();
}

void DeviceTest::DrawColorQuad(float x0, float y0, float x1, float y1, DWORD diffuse) {
    ColorVertex v[6] = {
        {x0, y0, 0.2f, 1, diffuse}, {x1, y0, 0.2f, 1, diffuse}, {x0, y1, 0.2f, 1, diffuse},
        {x0, y1, 0.2f, 1, diffuse}, {x1, y0, 0.2f, 1, diffuse}, {x1, y1, 0.2f, 1, diffuse},
    };
    device_->SetFVF(kColorFvf);
    device_->BeginScene();
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ColorVertex)), D3D_OK);
    device_->EndScene();
}

void DeviceTest::SetStage0(DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1,
                           DWORD alphaArg2) {
    device_->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, colorArg1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, colorArg2);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg1);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, alphaArg2);
    device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device_->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

std::string RunOwnTest(const std::string& env, const char* filter, int* exitCode) {
    const std::string program = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = "env " + env + " '" + program + "' --gtest_also_run_disabled_tests --gtest_filter=" +
                                filter + " 2>&1";
    std::string output;
    *exitCode = -1;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pclose(pipe);
    if (WIFEXITED(status)) *exitCode = WEXITSTATUS(status);
    return output;
}

}  // namespace d3d9test
