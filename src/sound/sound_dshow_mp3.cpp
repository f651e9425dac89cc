// The last converter back end: MP3 data the ACM refused, decoded whole by a
// private DirectShow graph. The file is served from memory by the memory
// reader, the graph builder chains in a parser and an MPEG audio decoder,
// the sample grabber collects the decoded PCM, and a null renderer stands in
// for the sound card's so that nothing is heard and no clock holds the graph
// back. Afterwards the converter serves the PCM from memory.
#include "core/library.h"
#include "core/log.h"
#include "core/memory.h"
#include "platform/seams/seams.h"
#include "sound/mem_reader.h"
#include "sound/sample_grabber.h"
#include "sound/sound_dshow_mp3.h"
#include "sound/sound_converter.h"

#include <cstring>

namespace {

constexpr uint32_t kGrowthStep = 1u << 20;
constexpr ULONG kPcmFormatBytes = 16;  // a WAVEFORMATEX without its extra size
constexpr LONG kWaitStepMs = 100;
// Test seams: the PCM block's first allocation and its growth.
constexpr const char* kPcmBlockCall = "OpenDirectShowMp3Converter:PcmBlock";
constexpr const char* kPcmGrowthCall = "OpenDirectShowMp3Converter:PcmGrowth";

// Everything one conversion holds; released by Cleanup on every exit.
struct Mp3Graph {
    uint8_t* source = nullptr;
    D_CMemStream* stream = nullptr;
    D_CMemReader* reader = nullptr;
    D_CSampleGrabber* grabber = nullptr;
    bool grabberInGraph = false;
    IBaseFilter* nullRenderer = nullptr;
    IGraphBuilder* graph = nullptr;
    IMediaFilter* mediaFilter = nullptr;
    IMediaControl* mediaControl = nullptr;
    IMediaEvent* mediaEvent = nullptr;
};

template <typename Interface>
void Release(Interface*& object) {
    if (object == nullptr) return;
    object->Release();
    object = nullptr;
}

AM_MEDIA_TYPE TypeOf(const GUID& major, const GUID& sub) {
    AM_MEDIA_TYPE type{};
    type.majortype = major;
    type.subtype = sub;
    return type;
}

void Cleanup(Mp3Graph* g) {
    Release(g->mediaEvent);
    Release(g->mediaFilter);
    Release(g->mediaControl);
    Release(g->graph);  // stops the graph, then lets its filters go
    Release(g->nullRenderer);
    if (g->reader != nullptr) g->reader->Release();
    DeleteMemStream(g->stream);
    if (g->grabber != nullptr && !g->grabberInGraph) DeleteFilterObject(g->grabber);
    FreeMemory(g->source);
}

// Reads the whole stream into a copy of its own; false when it cannot be
// allocated or read.
bool CopySource(SoundConverter* c, Mp3Graph* g, uint32_t* size) {
    const StreamFunctionTable& f = c->stream.functions;
    f.Seek(c->stream.handle, 0, 2);
    const int32_t end = f.Tell(c->stream.handle);
    f.Seek(c->stream.handle, 0, 0);
    if (end <= 0) return false;
    *size = static_cast<uint32_t>(end);
    g->source = static_cast<uint8_t*>(AllocMemory(*size, "", 0));
    return g->source != nullptr && f.Read(g->source, 1, *size, c->stream.handle) == *size;
}

// The first input pin of filter and whether it is connected, and whether it
// has an output pin: a renderer has a connected input and no output.
bool IsRenderer(IBaseFilter* filter, IPin** input) {
    *input = FindPinByDirection(filter, PINDIR_INPUT);
    IPin* output = FindPinByDirection(filter, PINDIR_OUTPUT);
    IPin* upstream = nullptr;
    const bool renderer = *input != nullptr && output == nullptr && SUCCEEDED((*input)->ConnectedTo(&upstream));
    Release(upstream);
    Release(output);
    if (!renderer) Release(*input);
    return renderer;
}

// Disconnects the graph's renderer and connects the pin that fed it to the
// null renderer instead.
bool SwapInNullRenderer(Mp3Graph* g) {
    IEnumFilters* filters = nullptr;
    if (FAILED(g->graph->EnumFilters(&filters))) return false;
    IPin* upstream = nullptr;
    for (IBaseFilter* filter = nullptr; upstream == nullptr && filters->Next(1, &filter, nullptr) == S_OK;) {
        IPin* input = nullptr;
        if (IsRenderer(filter, &input)) {
            input->ConnectedTo(&upstream);
            g->graph->Disconnect(upstream);
            g->graph->Disconnect(input);
            Release(input);
        }
        Release(filter);
    }
    Release(filters);
    if (upstream == nullptr) return false;
    IPin* nullInput = FindPinByDirection(g->nullRenderer, PINDIR_INPUT);
    const bool connected = nullInput != nullptr && SUCCEEDED(g->graph->Connect(upstream, nullInput));
    Release(nullInput);
    Release(upstream);
    return connected;
}

// The output format from the PCM type the grabber was connected with; the
// failure's message, or null.
const char* TakeConnectedFormat(SoundConverter* c, D_CSampleGrabber* grabber) {
    AM_MEDIA_TYPE type{};
    if (FAILED(grabber->GetConnectedMediaType(&type)))
        return "音声が含まれていないか、オーディオフォーマットの取得に失敗しました。";
    const char* failure = nullptr;
    const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
    if (type.formattype != FORMAT_WaveFormatEx || wave == nullptr || type.cbFormat < kPcmFormatBytes) {
        failure = "サポート外のストリームフォーマットです。";
    } else if (wave->wFormatTag != WAVE_FORMAT_PCM || wave->nChannels == 0 || wave->nBlockAlign == 0 ||
               wave->nSamplesPerSec == 0) {
        // A PCM tag without channels, sample size or rate describes nothing playable.
        failure = "サポート外のオーディオフォーマットです。";
    } else {
        WAVEFORMATEX& out = c->outputFormat;
        out.wFormatTag = wave->wFormatTag;
        out.nChannels = wave->nChannels;
        out.nSamplesPerSec = wave->nSamplesPerSec;
        out.nBlockAlign = wave->nBlockAlign;
        out.nAvgBytesPerSec = static_cast<DWORD>(wave->nBlockAlign) * wave->nSamplesPerSec;
        out.wBitsPerSample = static_cast<WORD>(wave->nBlockAlign * 8 / wave->nChannels);
        out.cbSize = 0;
    }
    FreeMediaType(type);
    return failure;
}

// Steps 3 to 14: the filters and the graph from the reader to the null
// renderer; the failure's message, or null.
const char* BuildGraph(Mp3Graph* g, uint32_t size) {
    g->stream = CreateMemStream(g->source, size, 0, kMemStreamUnthrottled);
    if (g->stream == nullptr) return "MP3変換用 D_CMemStream の作成に失敗しました";
    const AM_MEDIA_TYPE streamType = TypeOf(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG1Audio);
    HRESULT result = S_OK;
    g->reader = CreateMemReader(g->stream, &streamType, &result);
    if (g->reader == nullptr) return "MP3変換用 D_CMemReader の作成に失敗しました";
    g->reader->AddRef();
    if (FAILED(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&g->nullRenderer))))
        return "MP3変換用 NullRender の作成に失敗しました";
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IGraphBuilder, reinterpret_cast<void**>(&g->graph))))
        return "MP3変換用 IGraphBuilder の作成に失敗しました";
    g->grabber = CreateSampleGrabber(nullptr, &result);
    if (g->grabber == nullptr) return "MP3変換用 D_CSampleGrabber の作成に失敗しました";
    const AM_MEDIA_TYPE pcmType = TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
    if (FAILED(g->grabber->SetAcceptedMediaType(&pcmType)))
        return "サンプルグラバフィルタのメディアタイプの設定に失敗しました";
    if (FAILED(g->graph->AddFilter(g->grabber, u"SampleGrabber")))
        return "サンプルグラバフィルタのグラフへの追加に失敗しました";
    g->grabberInGraph = true;
    if (FAILED(g->graph->AddFilter(g->reader, u"MemFile"))) return "メモリファイルフィルタのグラフへの追加に失敗しました";
    IPin* readerOutput = FindPinByDirection(g->reader, PINDIR_OUTPUT);
    const bool rendered = readerOutput != nullptr && SUCCEEDED(g->graph->Render(readerOutput));
    Release(readerOutput);
    if (!rendered) return "グラフの構築に失敗しました";
    if (FAILED(g->graph->AddFilter(g->nullRenderer, u"File Renderer")))
        return "ヌルレンダラーフィルタのグラフへの追加に失敗しました";
    if (!SwapInNullRenderer(g)) return "既存レンダラーをNullレンダラーと交換する処理が失敗しました";
    return nullptr;
}

// Steps 17 to 19: the callback, the PCM block and the graph's control
// interfaces, with no reference clock; the failure's message, or null.
const char* PrepareRun(SoundConverter* c, Mp3Graph* g, uint32_t size) {
    if (FAILED(g->grabber->SetCallback(AppendGrabbedPcm, c))) return "コールバック関数を設定できません";
    const uint64_t capacity = uint64_t{size} * 10;
    c->memoryPcmCapacity = capacity > UINT32_MAX - kGrowthStep ? UINT32_MAX - kGrowthStep : static_cast<uint32_t>(capacity);
    c->memoryPcmData = seams::ShouldFailCall(kPcmBlockCall)
                           ? nullptr
                           : static_cast<uint8_t*>(AllocMemory(c->memoryPcmCapacity, "", 0));
    if (c->memoryPcmData == nullptr) return "PCMデータを格納するメモリ領域の確保に失敗しました";
    c->memoryPcmSize = 0;
    if (FAILED(g->graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&g->mediaFilter))))
        return "IMediaFilter の取得に失敗しました";
    g->mediaFilter->SetSyncSource(nullptr);
    if (FAILED(g->graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&g->mediaControl))))
        return "IMediaControl の取得に失敗しました";
    if (FAILED(g->graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&g->mediaEvent))))
        return "IMediaEvent の取得に失敗しました";
    return nullptr;
}

// Steps 20 and 21: runs the graph to its end, pumping messages while it
// waits; the failure's message, or null.
const char* RunToEnd(SoundConverter* c, Mp3Graph* g) {
    constexpr const char* kEnded = "MP3変換の途中でソフトが終了しました";
    g->mediaControl->Run();
    if (PumpMessagesUnlocked() != 0) return kEnded;
    for (;;) {
        LONG code = 0;
        if (g->mediaEvent->WaitForCompletion(kWaitStepMs, &code) == S_OK) {
            if (code == EC_ERRORABORT) return "MP3変換の途中でエラーが発生しました";
            if (code == EC_COMPLETE) {
                return c->memoryPcmData == nullptr ? "PCMデータを格納するメモリ領域の再確保に失敗しました" : nullptr;
            }
        }
        if (PumpMessagesUnlocked() != 0) return kEnded;
    }
}

void ClearMemoryPcm(SoundConverter* c) {
    c->memoryPcmData = nullptr;
    c->memoryPcmCapacity = 0;
    c->memoryPcmSize = 0;
    c->memoryPcmReadPosition = 0;
}

}  // namespace

IPin* FindPinByDirection(IBaseFilter* filter, PIN_DIRECTION direction) {
    IEnumPins* pins = nullptr;
    if (filter == nullptr || FAILED(filter->EnumPins(&pins))) return nullptr;
    IPin* found = nullptr;
    for (IPin* pin = nullptr; found == nullptr && pins->Next(1, &pin, nullptr) == S_OK;) {
        PIN_DIRECTION d{};
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) {
            found = pin;
        } else {
            pin->Release();
        }
    }
    pins->Release();
    return found;
}

HRESULT AppendGrabbedPcm(IMediaSample* sample, REFERENCE_TIME*, REFERENCE_TIME*, int32_t, void* user) {
    auto* c = static_cast<SoundConverter*>(user);
    BYTE* data = nullptr;
    if (c->memoryPcmData == nullptr || sample == nullptr || FAILED(sample->GetPointer(&data))) return S_OK;
    const LONG length = sample->GetActualDataLength();
    if (length <= 0) return S_OK;
    const uint64_t needed = uint64_t{c->memoryPcmSize} + static_cast<uint64_t>(length);
    if (needed > c->memoryPcmCapacity) {
        uint64_t capacity = c->memoryPcmCapacity;
        while (capacity < needed) capacity += kGrowthStep;
        auto* grown = capacity > UINT32_MAX || seams::ShouldFailCall(kPcmGrowthCall)
                          ? nullptr
                          : static_cast<uint8_t*>(AllocMemory(static_cast<uint32_t>(capacity), "", 0));
        if (grown != nullptr) std::memcpy(grown, c->memoryPcmData, c->memoryPcmSize);
        FreeMemory(c->memoryPcmData);
        c->memoryPcmData = grown;  // null: later samples are dropped, the wait reports it
        if (grown == nullptr) return S_OK;
        c->memoryPcmCapacity = static_cast<uint32_t>(capacity);
    }
    std::memcpy(c->memoryPcmData + c->memoryPcmSize, data, static_cast<size_t>(length));
    c->memoryPcmSize += static_cast<uint32_t>(length);
    return S_OK;
}

int32_t OpenDirectShowMp3Converter(SoundConverter* c) {
    ClearMemoryPcm(c);
    Mp3Graph g;
    uint32_t size = 0;
    const char* failure = nullptr;
    if (!CopySource(c, &g, &size)) {
        Cleanup(&g);
        return -1;
    }
    failure = BuildGraph(&g, size);
    if (failure == nullptr) failure = TakeConnectedFormat(c, g.grabber);
    if (failure == nullptr) failure = PrepareRun(c, &g, size);
    if (failure == nullptr) failure = RunToEnd(c, &g);
    Cleanup(&g);
    if (failure != nullptr) {
        FreeMemory(c->memoryPcmData);
        ClearMemoryPcm(c);
        return WriteLog(failure);
    }
    c->kind = kConverterMemoryPcm;
    c->blockCapacity = c->outputFormat.nAvgBytesPerSec;
    return 0;
}
