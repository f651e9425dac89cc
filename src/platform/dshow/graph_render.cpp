// Intelligent connect: Connect and Render try the filters already in the
// graph, then the stand-in's own, chosen by the type a pin offers; RenderFile
// puts a file source in front.
#include "platform/dshow/av_backend.h"
#include "platform/dshow/graph.h"
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

#include <algorithm>
#include <vector>

namespace dshow {
namespace {

constexpr int kMaxDepth = 8;
using Creator = IBaseFilter* (*)();

// The filters that may take a pin offering this type, in the order tried.
std::vector<Creator> CandidatesFor(const AM_MEDIA_TYPE& t) {
    if (t.majortype == MEDIATYPE_Stream) return {CreateDemultiplexer};
    if (t.subtype == MEDIASUBTYPE_CodedStream && t.majortype == MEDIATYPE_Audio) return {CreateAudioDecoder};
    if (t.subtype == MEDIASUBTYPE_CodedStream && t.majortype == MEDIATYPE_Video) return {CreateVideoDecoder};
    if (t.majortype == MEDIATYPE_Video && t.subtype == MEDIASUBTYPE_IYUV) return {CreateColourConverter};
    if (t.majortype == MEDIATYPE_Audio && t.subtype == MEDIASUBTYPE_PCM) return {CreateAudioRenderer};
    return {};
}

std::vector<Creator> CandidatesForPin(IPin* out) {
    std::vector<Creator> all;
    IEnumMediaTypes* types = nullptr;
    if (FAILED(out->EnumMediaTypes(&types)) || types == nullptr) return all;
    AM_MEDIA_TYPE* t = nullptr;
    while (types->Next(1, &t, nullptr) == S_OK) {
        for (Creator c : CandidatesFor(*t))
            if (std::find(all.begin(), all.end(), c) == all.end()) all.push_back(c);
        DeleteMediaType(t);
    }
    types->Release();
    return all;
}

IBaseFilter* FilterOf(IPin* pin) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return nullptr;
    return info.pFilter;  // with a reference
}

// The pins of a filter in one direction, each with a reference.
std::vector<IPin*> PinsOf(IBaseFilter* filter, PIN_DIRECTION direction) {
    std::vector<IPin*> out;
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || pins == nullptr) return out;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction)
            out.push_back(pin);
        else
            pin->Release();
    }
    pins->Release();
    return out;
}

void ReleaseAll(std::vector<IPin*>& pins) {
    for (IPin* p : pins) p->Release();
    pins.clear();
}

bool IsConnected(IPin* pin) {
    IPin* other = nullptr;
    if (FAILED(pin->ConnectedTo(&other)) || other == nullptr) return false;
    other->Release();
    return true;
}

bool OffersAudio(IPin* pin) {
    bool audio = false;
    IEnumMediaTypes* types = nullptr;
    if (SUCCEEDED(pin->EnumMediaTypes(&types)) && types != nullptr) {
        AM_MEDIA_TYPE* first = nullptr;
        if (types->Next(1, &first, nullptr) == S_OK) {
            audio = first->majortype == MEDIATYPE_Audio;
            DeleteMediaType(first);
        }
        types->Release();
    }
    return audio;
}

// A refusal that says something about the data rather than a type mismatch.
bool IsDataRefusal(HRESULT hr) { return hr == VFW_E_UNSUPPORTED_STREAM || hr == VFW_E_INVALID_FILE_FORMAT; }

}  // namespace

HRESULT FilterGraph::RenderOutputsOf(IBaseFilter* filter, int depth) {
    std::vector<IPin*> outs = PinsOf(filter, PINDIR_OUTPUT);
    if (outs.empty()) return S_OK;  // a renderer ends the chain
    int rendered = 0, failedAudio = 0, failedOther = 0;
    HRESULT firstFailure = VFW_E_CANNOT_RENDER;
    for (IPin* pin : outs) {
        if (IsConnected(pin)) {
            ++rendered;
            continue;
        }
        HRESULT hr = RenderPin(pin, depth);
        if (SUCCEEDED(hr)) {
            ++rendered;
        } else {
            (OffersAudio(pin) ? failedAudio : failedOther)++;
            if (IsDataRefusal(hr)) firstFailure = hr;
        }
    }
    ReleaseAll(outs);
    if (rendered == 0) return firstFailure;
    if (failedAudio + failedOther == 0) return S_OK;
    if (failedOther == 0) return VFW_S_AUDIO_NOT_RENDERED;
    if (failedAudio == 0) return VFW_S_VIDEO_NOT_RENDERED;
    return VFW_S_PARTIAL_RENDER;
}

// Connects out to in and renders what follows; undoes the connection when
// the chain does not end in a renderer.
HRESULT FilterGraph::ConnectThrough(IPin* out, IPin* in, int depth) {
    HRESULT hr = out->Connect(in, nullptr);
    if (FAILED(hr)) return hr;
    IBaseFilter* next = FilterOf(in);
    hr = next != nullptr ? RenderOutputsOf(next, depth + 1) : E_UNEXPECTED;
    if (next != nullptr) next->Release();
    if (FAILED(hr)) {
        in->Disconnect();
        out->Disconnect();
    }
    return hr;
}

HRESULT FilterGraph::TryFilterInGraph(IPin* out, int depth) {
    IBaseFilter* own = FilterOf(out);
    std::vector<IBaseFilter*> filters = Snapshot();
    HRESULT result = VFW_E_CANNOT_RENDER;
    for (IBaseFilter* f : filters) {
        if (f == own || SUCCEEDED(result)) continue;
        std::vector<IPin*> ins = PinsOf(f, PINDIR_INPUT);
        for (IPin* in : ins) {
            if (SUCCEEDED(result) || IsConnected(in)) continue;
            HRESULT hr = ConnectThrough(out, in, depth);
            if (SUCCEEDED(hr) || IsDataRefusal(hr)) result = hr;
        }
        ReleaseAll(ins);
    }
    for (IBaseFilter* f : filters) f->Release();
    if (own != nullptr) own->Release();
    return result;
}

HRESULT FilterGraph::TryNewFilter(IPin* out, Creator create, int depth) {
    IBaseFilter* filter = create();
    if (filter == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = AddFilter(filter, nullptr);
    if (SUCCEEDED(hr)) {
        std::vector<IPin*> ins = PinsOf(filter, PINDIR_INPUT);
        hr = ins.empty() ? VFW_E_CANNOT_CONNECT : ConnectThrough(out, ins[0], depth);
        ReleaseAll(ins);
        if (FAILED(hr)) RemoveFilter(filter);
    }
    filter->Release();
    return hr;
}

HRESULT FilterGraph::RenderPin(IPin* out, int depth) {
    if (depth > kMaxDepth) return VFW_E_CANNOT_RENDER;
    HRESULT hr = TryFilterInGraph(out, depth);
    if (SUCCEEDED(hr)) return hr;
    HRESULT result = IsDataRefusal(hr) ? hr : VFW_E_CANNOT_RENDER;
    for (Creator create : CandidatesForPin(out)) {
        hr = TryNewFilter(out, create, depth);
        if (SUCCEEDED(hr)) return hr;
        if (IsDataRefusal(hr)) result = hr;
    }
    return result;
}

HRESULT FilterGraph::Render(IPin* out) {
    if (auto failed = seams::FailNow<HRESULT>("IGraphBuilder::Render", E_FAIL)) return *failed;
    if (out == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION d;
    if (FAILED(out->QueryDirection(&d)) || d != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    if (IsConnected(out)) return VFW_E_ALREADY_CONNECTED;
    return RenderPin(out, 0);
}

HRESULT FilterGraph::Connect(IPin* out, IPin* in) {
    if (auto failed = seams::FailNow<HRESULT>("IGraphBuilder::Connect", E_FAIL)) return *failed;
    if (out == nullptr || in == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    HRESULT hr = ConnectDirect(out, in, nullptr);
    if (SUCCEEDED(hr) || hr == VFW_E_NOT_STOPPED || hr == VFW_E_INVALID_DIRECTION) return hr;
    // Through one filter of our own (a decoder or converter, say).
    for (Creator create : CandidatesForPin(out)) {
        IBaseFilter* middle = create();
        if (middle == nullptr) continue;
        bool joined = false;
        if (SUCCEEDED(AddFilter(middle, nullptr))) {
            std::vector<IPin*> ins = PinsOf(middle, PINDIR_INPUT), outs = PinsOf(middle, PINDIR_OUTPUT);
            if (!ins.empty() && !outs.empty() && SUCCEEDED(out->Connect(ins[0], nullptr))) {
                joined = SUCCEEDED(outs[0]->Connect(in, nullptr));
                if (!joined) ins[0]->Disconnect(), out->Disconnect();
            }
            ReleaseAll(ins);
            ReleaseAll(outs);
            if (!joined) RemoveFilter(middle);
        }
        middle->Release();
        if (joined) return S_OK;
    }
    return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) {
    if (file == nullptr || filter == nullptr) return E_POINTER;
    *filter = nullptr;
    char path[4 * MAX_PATH];
    if (WideCharToMultiByte(932, 0, file, -1, path, sizeof(path), nullptr, nullptr) <= 0) return VFW_E_NOT_FOUND;
    HRESULT hr = S_OK;
    IBaseFilter* source = CreateFileSource(platform::PathToNative(path).c_str(), &hr);
    if (source == nullptr) return hr;
    hr = AddFilter(source, filterName != nullptr ? filterName : file);
    if (FAILED(hr)) {
        source->Release();
        return hr;
    }
    *filter = source;
    return S_OK;
}

HRESULT FilterGraph::RenderFile(LPCWSTR file, LPCWSTR) {
    av::ForgetRefusedPicture();
    if (auto failed = seams::FailNow<HRESULT>("IGraphBuilder::RenderFile", E_FAIL)) return *failed;
    if (file == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    IBaseFilter* source = nullptr;
    HRESULT hr = AddSourceFilter(file, nullptr, &source);
    if (FAILED(hr)) return hr;
    std::vector<IPin*> outs = PinsOf(source, PINDIR_OUTPUT);
    hr = outs.empty() ? VFW_E_CANNOT_RENDER : RenderPin(outs[0], 0);
    ReleaseAll(outs);
    if (FAILED(hr)) RemoveFilter(source);
    source->Release();
    return hr;
}

HRESULT FilterGraph::RenderFile(LPCWSTR file) { return RenderFile(file, nullptr); }

}  // namespace dshow
