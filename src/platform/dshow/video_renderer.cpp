// The video renderer base: samples wait for their time on the graph's clock
// and go to DoRenderSample; the first sample of a pause is shown at once.
#include "platform/dshow/dshow_base.h"

#include <new>

// ---- input pin ---------------------------------------------------------------------------

RendererInputPin::RendererInputPin(CBaseVideoRenderer* renderer, HRESULT* hr, LPCWSTR name)
    : BaseInputPin("Renderer input pin", renderer, renderer->FilterLock(), hr, name), renderer_(renderer) {}

HRESULT RendererInputPin::CheckMediaType(const MediaTypeValue* type) { return renderer_->CheckMediaType(type); }

HRESULT RendererInputPin::SetMediaType(const MediaTypeValue* type) {
    HRESULT hr = BaseInputPin::SetMediaType(type);
    if (FAILED(hr)) return hr;
    return renderer_->SetMediaType(type);
}

HRESULT RendererInputPin::Receive(IMediaSample* sample) {
    AutoLock lock(&renderer_->rendererLock_);
    HRESULT hr = BaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    return renderer_->Render(sample);
}

HRESULT RendererInputPin::EndOfStream() {
    AutoLock lock(&renderer_->rendererLock_);
    HRESULT hr = BaseInputPin::EndOfStream();
    if (hr != S_OK) return hr;
    renderer_->EndOfStreamReached();
    return S_OK;
}

HRESULT RendererInputPin::BeginFlush() {
    BaseInputPin::BeginFlush();
    renderer_->Wake();
    return S_OK;
}

HRESULT RendererInputPin::EndFlush() {
    AutoLock lock(&renderer_->rendererLock_);
    {
        std::lock_guard<std::mutex> wait(renderer_->waitLock_);
        renderer_->endOfStream_ = false;
        renderer_->completeSent_ = false;
        renderer_->shownInPause_ = false;
    }
    return BaseInputPin::EndFlush();
}

HRESULT RendererInputPin::BreakConnect() { return BaseInputPin::BreakConnect(); }

// ---- renderer ----------------------------------------------------------------------------

CBaseVideoRenderer::CBaseVideoRenderer(REFCLSID clsid, const char* objectName, IUnknown* outer, HRESULT* hr)
    : BaseFilter(objectName, outer, &rendererFilterLock_, clsid, hr) {}

CBaseVideoRenderer::~CBaseVideoRenderer() { delete input_; }

HRESULT CBaseVideoRenderer::SetMediaType(const MediaTypeValue*) { return S_OK; }

BasePin* CBaseVideoRenderer::GetPin(int index) {
    if (index != 0) return nullptr;
    if (input_ == nullptr) {
        HRESULT hr = S_OK;
        input_ = new (std::nothrow) RendererInputPin(this, &hr, u"In");
    }
    return input_;
}

void CBaseVideoRenderer::Wake() {
    std::lock_guard<std::mutex> wait(waitLock_);
    ++generation_;
    wake_.notify_all();
}

HRESULT CBaseVideoRenderer::Stop() {
    HRESULT hr = BaseFilter::Stop();
    Wake();
    AutoLock receive(&rendererLock_);  // the sample in progress has left
    std::lock_guard<std::mutex> wait(waitLock_);
    endOfStream_ = false;
    completeSent_ = false;
    shownInPause_ = false;
    return hr;
}

HRESULT CBaseVideoRenderer::Pause() {
    HRESULT hr = BaseFilter::Pause();
    Wake();
    return hr;
}

HRESULT CBaseVideoRenderer::Run(REFERENCE_TIME start) {
    HRESULT hr = BaseFilter::Run(start);
    Wake();
    SendCompleteIfDue();
    return hr;
}

// S_OK when the sample is due now, S_FALSE when it was shown as the pause's
// picture and is due no more, VFW_E_WRONG_STATE when stopping or flushing.
HRESULT CBaseVideoRenderer::WaitForPresentation(IMediaSample* sample) {
    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    std::unique_lock<std::mutex> lock(waitLock_);
    bool shown = false;
    for (;;) {
        if (IsStopped() || input_->IsFlushing()) return VFW_E_WRONG_STATE;
        if (State() == State_Paused) {
            if (!shownInPause_ && !shown) {
                shownInPause_ = true;
                shown = true;
                lock.unlock();
                DoRenderSample(sample);
                ++rendered_;
                lock.lock();
                continue;
            }
            wake_.wait(lock);
            continue;
        }
        if (!timed || Clock() == nullptr) return shown ? S_FALSE : S_OK;
        const REFERENCE_TIME due = StreamStart() + start, now = ClockTime();
        if (now >= due) return shown ? S_FALSE : S_OK;
        wake_.wait_for(lock, std::chrono::nanoseconds((due - now) * 100));
    }
}

HRESULT CBaseVideoRenderer::Render(IMediaSample* sample) {
    HRESULT hr = WaitForPresentation(sample);
    if (hr == VFW_E_WRONG_STATE) return S_FALSE;
    if (hr == S_OK) {
        hr = DoRenderSample(sample);
        ++rendered_;
        if (FAILED(hr)) NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
    return S_OK;
}

void CBaseVideoRenderer::EndOfStreamReached() {
    {
        std::lock_guard<std::mutex> wait(waitLock_);
        endOfStream_ = true;
    }
    SendCompleteIfDue();
}

void CBaseVideoRenderer::SendCompleteIfDue() {
    {
        std::lock_guard<std::mutex> wait(waitLock_);
        if (!endOfStream_ || completeSent_ || State() != State_Running) return;
        completeSent_ = true;
    }
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}
