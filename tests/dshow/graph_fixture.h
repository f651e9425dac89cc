// Shared set-up of the graph tests: COM, a graph, a capturing RGB24 video
// renderer, and an audio output pumped by hand that records its loudest
// sample.
#pragma once

#include "platform/dshow/dshow_base.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/seams/seams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dshowtest {

inline const CLSID kCaptureClsid = {0x1A2B3C4D, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};

// Accepts RGB24 with a VIDEOINFOHEADER; keeps the first frame top-down.
class CaptureRenderer : public CBaseVideoRenderer {
public:
    CaptureRenderer() : CBaseVideoRenderer(kCaptureClsid, "Capture", nullptr, nullptr) {}
    HRESULT CheckMediaType(const MediaTypeValue* t) override {
        if (t == nullptr) return E_POINTER;
        if (!(t->formattype == FORMAT_VideoInfo)) return E_INVALIDARG;
        return t->majortype == MEDIATYPE_Video && t->subtype == MEDIASUBTYPE_RGB24 ? S_OK : E_FAIL;
    }
    HRESULT SetMediaType(const MediaTypeValue* t) override {
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(t->pbFormat);
        std::lock_guard<std::mutex> lock(mutex);
        width = vih->bmiHeader.biWidth;
        height = std::abs(vih->bmiHeader.biHeight);
        bottomUp = vih->bmiHeader.biHeight > 0;
        return S_OK;
    }
    HRESULT DoRenderSample(IMediaSample* sample) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (frames++ > 0) return S_OK;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const LONG pitch = (width * 3 + 3) & ~3;
        first.assign(static_cast<size_t>(pitch) * height, 0);
        for (LONG y = 0; y < height; ++y)
            std::copy_n(data + (bottomUp ? height - 1 - y : y) * pitch, pitch, first.data() + y * pitch);
        return S_OK;
    }
    // The first frame's pixel as R, G, B.
    std::vector<int> Pixel(int x, int y) {
        std::lock_guard<std::mutex> lock(mutex);
        const LONG pitch = (width * 3 + 3) & ~3;
        const uint8_t* p = first.data() + y * pitch + x * 3;
        return {p[2], p[1], p[0]};
    }

    std::mutex mutex;
    LONG width = 0, height = 0;
    bool bottomUp = false;
    int frames = 0;
    std::vector<uint8_t> first;
};

inline std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class GraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        seams::ClearAllCalls();
        ASSERT_EQ(sdl::SetManualAudioOutput(true), 0);
        CoInitialize(nullptr);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&graph)),
                  S_OK);
        pump = std::thread([this] {
            std::vector<int16_t> out(2 * 512);
            while (!quit) {
                if (sdl::RenderAudioOutput(out.data(), 512) == 0)
                    for (int16_t s : out) loudest = std::max<int>(loudest, std::abs(s));
                std::this_thread::yield();
            }
        });
    }
    void TearDown() override {
        if (control != nullptr) control->Release();
        if (graph != nullptr) graph->Release();
        control = nullptr;
        graph = nullptr;
        quit = true;
        pump.join();
        sdl::SetManualAudioOutput(false);
        seams::ClearAllCalls();
        CoUninitialize();
        EXPECT_EQ(dshow::LiveStreamingThreadsForTest(), 0);
        EXPECT_EQ(dshow::LiveFiltersForTest(), 0);
    }
    // Adds a capturing renderer (the graph holds it).
    CaptureRenderer* AddCapture() {
        auto* capture = new CaptureRenderer();
        EXPECT_EQ(graph->AddFilter(capture, u"Capture"), S_OK);
        return capture;
    }
    IMediaControl* Control() {
        if (control == nullptr) graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        return control;
    }
    // Runs the graph to its end: the event code, or 0 when none came.
    LONG RunToEnd(LONG timeoutMs = 20000) {
        IMediaEvent* events = nullptr;
        graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
        Control()->Run();
        LONG code = 0;
        events->WaitForCompletion(timeoutMs, &code);
        events->Release();
        return code;
    }

    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    std::thread pump;
    std::atomic<bool> quit{false};
    std::atomic<int> loudest{0};
};

}  // namespace dshowtest
