// The demultiplexer: pulls the bytes of an IAsyncReader into FFmpeg's
// container reader and pushes each stream's packets out of its own pin,
// each pin delivering from its own queue and thread.
#include "platform/dshow/av_backend.h"
#include "platform/dshow/graph_internal.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>

namespace dshow {
namespace {

const CLSID CLSID_Demultiplexer = {0x6D5F1A23, 0x8E3C, 0x4B7A, {0x9C, 0x21, 0x5E, 0x0D, 0x7A, 0x3B, 0x9F, 0x01}};
constexpr size_t kQueueLength = 48;

class Demultiplexer;

// What a pin's queue holds: a packet, a new segment or the end.
struct QueueItem {
    enum Kind { Data, Segment, End } kind = Data;
    av::Packet packet;
    REFERENCE_TIME start = 0, stop = 0;
};

class DemuxOutputPin : public BaseOutputPin {
public:
    DemuxOutputPin(Demultiplexer* filter, CritSec* lock, const av::StreamInfo& info, LPCWSTR name);
    ~DemuxOutputPin() override { StopQueue(); }

    HRESULT CheckMediaType(const MediaTypeValue* type) override {
        return type != nullptr && offered_.Equals(*type) ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int position, MediaTypeValue* type) override {
        if (type == nullptr) return E_POINTER;
        if (position < 0) return E_INVALIDARG;
        return position > 0 ? VFW_S_NO_MORE_ITEMS : type->Set(offered_);
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = std::max<LONG>(request->cBuffers, 4);
        request->cbBuffer = std::max<LONG>(request->cbBuffer, bufferSize_);
        request->cbAlign = std::max<LONG>(request->cbAlign, 1);
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(request, &actual);
    }

    void StartQueue();
    void StopQueue();
    // Waits while the queue is full; false when the queue is stopping.
    bool Push(QueueItem item);

private:
    void Work();
    HRESULT DeliverPacket(const av::Packet& packet);

    Demultiplexer* demux_;
    MediaTypeValue offered_;
    LONG bufferSize_;
    std::mutex queueLock_;
    std::condition_variable changed_;
    std::deque<QueueItem> queue_;
    bool quit_ = false;
    bool failed_ = false;
    StreamingThread thread_;
};

class DemuxInputPin : public BasePin {
public:
    DemuxInputPin(Demultiplexer* filter, CritSec* lock, HRESULT* hr);
    ~DemuxInputPin() override {
        if (reader_ != nullptr) reader_->Release();
    }
    HRESULT CheckMediaType(const MediaTypeValue* type) override {
        return type != nullptr && type->majortype == MEDIATYPE_Stream ? S_OK : S_FALSE;
    }
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT CompleteConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT EndOfStream() override { return S_OK; }
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }

private:
    Demultiplexer* demux_;
    IAsyncReader* reader_ = nullptr;
};

class Demultiplexer : public BaseFilter, public IMediaSeeking {
public:
    Demultiplexer();
    ~Demultiplexer() override;

    HRESULT QueryInterface(REFIID iid, void** object) override { return BaseFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return BaseFilter::AddRef(); }
    ULONG Release() override { return BaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IMediaSeeking) return com::HandOut(static_cast<IMediaSeeking*>(this), object);
        return BaseFilter::NonDelegatingQueryInterface(iid, object);
    }

    int GetPinCount() override { return 1 + static_cast<int>(outputs_.size()); }
    BasePin* GetPin(int index) override {
        if (index == 0) return &input_;
        if (index < 1 || index > static_cast<int>(outputs_.size())) return nullptr;
        return outputs_[index - 1].get();
    }
    HRESULT Pause() override;
    HRESULT Stop() override;

    HRESULT OpenSource(IAsyncReader* reader, const AM_MEDIA_TYPE& type);
    void CloseSource();

    // IMediaSeeking: positions are set while stopped (the graph stops first).
    HRESULT GetCapabilities(DWORD* c) override {
        if (c == nullptr) return E_POINTER;
        *c = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetStopPos;
        return S_OK;
    }
    HRESULT IsFormatSupported(const GUID* f) override {
        return f == nullptr ? E_POINTER : (*f == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE);
    }
    HRESULT GetTimeFormat(GUID* f) override {
        if (f == nullptr) return E_POINTER;
        *f = TIME_FORMAT_MEDIA_TIME;
        return S_OK;
    }
    HRESULT SetTimeFormat(const GUID* f) override { return IsFormatSupported(f) == S_OK ? S_OK : E_INVALIDARG; }
    HRESULT GetDuration(LONGLONG* d) override {
        if (d == nullptr) return E_POINTER;
        *d = demuxer_ != nullptr ? demuxer_->Duration() : 0;
        return S_OK;
    }
    HRESULT GetStopPosition(LONGLONG* s) override {
        if (s == nullptr) return E_POINTER;
        *s = stop_ >= 0 ? stop_ : (demuxer_ != nullptr ? demuxer_->Duration() : 0);
        return S_OK;
    }
    HRESULT GetCurrentPosition(LONGLONG* c) override {
        if (c == nullptr) return E_POINTER;
        *c = start_;
        return S_OK;
    }
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override {
        if (!IsStopped()) return VFW_E_NOT_STOPPED;
        if ((currentFlags & AM_SEEKING_PositioningBitsMask) == AM_SEEKING_AbsolutePositioning && current != nullptr)
            start_ = std::max<LONGLONG>(*current, 0);
        if ((stopFlags & AM_SEEKING_PositioningBitsMask) == AM_SEEKING_AbsolutePositioning && stop != nullptr)
            stop_ = *stop;
        return S_OK;
    }
    HRESULT GetPositions(LONGLONG* c, LONGLONG* s) override {
        HRESULT hr = GetCurrentPosition(c);
        return FAILED(hr) ? hr : GetStopPosition(s);
    }
    HRESULT GetRate(double* r) override {
        if (r == nullptr) return E_POINTER;
        *r = 1.0;
        return S_OK;
    }

private:
    void ReadPackets();

    CritSec demuxLock_;
    DemuxInputPin input_;
    std::vector<std::unique_ptr<DemuxOutputPin>> outputs_;
    std::vector<std::unique_ptr<DemuxOutputPin>> retired_;  // pins of an earlier source, kept for stray references
    std::unique_ptr<av::Demuxer> demuxer_;
    LONGLONG start_ = 0;
    LONGLONG stop_ = -1;
    bool started_ = false;  // streamed before: seek first
    std::atomic<bool> quit_{false};
    StreamingThread reader_;
};

// ---- output pin ---------------------------------------------------------------------------

LONG BufferSizeFor(const av::StreamInfo& info) {
    if (info.kind == av::StreamKind::Audio) return 256 * 1024;
    const int64_t raw = int64_t{info.width} * info.height * 4;
    return static_cast<LONG>(std::clamp<int64_t>(raw, 1 << 20, 64 << 20));
}

DemuxOutputPin::DemuxOutputPin(Demultiplexer* filter, CritSec* lock, const av::StreamInfo& info, LPCWSTR name)
    : BaseOutputPin("Demultiplexer output pin", filter, lock, nullptr, name),
      demux_(filter),
      bufferSize_(BufferSizeFor(info)) {
    offered_.majortype = info.kind == av::StreamKind::Audio ? MEDIATYPE_Audio : MEDIATYPE_Video;
    offered_.subtype = MEDIASUBTYPE_CodedStream;
    offered_.formattype = FORMAT_CodedStream;
    offered_.bFixedSizeSamples = FALSE;
    offered_.bTemporalCompression = TRUE;
    offered_.SetFormat(&info, sizeof(info));
}

void DemuxOutputPin::StartQueue() {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue_.clear();
        quit_ = false;
        failed_ = false;
    }
    thread_.Start([this] { Work(); });
}

void DemuxOutputPin::StopQueue() {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        quit_ = true;
        changed_.notify_all();
    }
    thread_.Join();
    std::lock_guard<std::mutex> lock(queueLock_);
    queue_.clear();
}

bool DemuxOutputPin::Push(QueueItem item) {
    std::unique_lock<std::mutex> lock(queueLock_);
    changed_.wait(lock, [this] { return quit_ || queue_.size() < kQueueLength; });
    if (quit_) return false;
    queue_.push_back(std::move(item));
    changed_.notify_all();
    return true;
}

HRESULT DemuxOutputPin::DeliverPacket(const av::Packet& packet) {
    IMediaSample* sample = nullptr;
    HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    if (packet.data.size() > static_cast<size_t>(sample->GetSize())) {
        sample->Release();
        return S_OK;  // a packet larger than any picture of the stream: dropped
    }
    BYTE* to = nullptr;
    sample->GetPointer(&to);
    std::memcpy(to, packet.data.data(), packet.data.size());
    sample->SetActualDataLength(static_cast<LONG>(packet.data.size()));
    if (packet.time != INT64_MIN) {
        REFERENCE_TIME start = packet.time;
        sample->SetTime(&start, nullptr);
    }
    sample->SetSyncPoint(packet.key);
    hr = Deliver(sample);
    sample->Release();
    return hr;
}

void DemuxOutputPin::Work() {
    std::unique_lock<std::mutex> lock(queueLock_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (quit_) return;
        QueueItem item = std::move(queue_.front());
        queue_.pop_front();
        changed_.notify_all();
        if (failed_) continue;
        lock.unlock();
        HRESULT hr = S_OK;
        if (item.kind == QueueItem::Data) hr = DeliverPacket(item.packet);
        if (item.kind == QueueItem::Segment) DeliverNewSegment(item.start, item.stop, 1.0);
        if (item.kind == QueueItem::End) DeliverEndOfStream();
        lock.lock();
        if (hr == S_OK) continue;
        failed_ = true;  // downstream takes no more
        const bool stopping = quit_ || hr == VFW_E_WRONG_STATE || hr == VFW_E_NOT_COMMITTED || hr == S_FALSE ||
                              hr == VFW_E_NOT_CONNECTED;
        if (!stopping) {
            lock.unlock();
            demux_->NotifyEvent(EC_ERRORABORT, hr, 0);
            lock.lock();
        }
    }
}

// ---- input pin -----------------------------------------------------------------------------

DemuxInputPin::DemuxInputPin(Demultiplexer* filter, CritSec* lock, HRESULT* hr)
    : BasePin("Demultiplexer input pin", filter, lock, hr, u"Input", PINDIR_INPUT), demux_(filter) {}

HRESULT DemuxInputPin::CheckConnect(IPin* pin) {
    HRESULT hr = BasePin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    if (reader_ != nullptr) reader_->Release();
    reader_ = nullptr;
    return FAILED(pin->QueryInterface(IID_IAsyncReader, reinterpret_cast<void**>(&reader_))) ? E_NOINTERFACE : S_OK;
}

HRESULT DemuxInputPin::CompleteConnect(IPin*) { return demux_->OpenSource(reader_, CurrentMediaType()); }

HRESULT DemuxInputPin::BreakConnect() {
    demux_->CloseSource();
    if (reader_ != nullptr) reader_->Release();
    reader_ = nullptr;
    return S_OK;
}

// ---- filter ----------------------------------------------------------------------------------

Demultiplexer::Demultiplexer()
    : BaseFilter("Demultiplexer", nullptr, &demuxLock_, CLSID_Demultiplexer, nullptr), input_(this, &demuxLock_, nullptr) {}

Demultiplexer::~Demultiplexer() {
    quit_ = true;
    for (auto& pin : outputs_) pin->StopQueue();
    reader_.Join();
}

// A byte stream typed as MPEG audio is parsed as nothing else; any other
// stream is probed.
const char* ContainerFor(const AM_MEDIA_TYPE& type) {
    return type.subtype == MEDIASUBTYPE_MPEG1Audio ? "mp3" : nullptr;
}

HRESULT Demultiplexer::OpenSource(IAsyncReader* reader, const AM_MEDIA_TYPE& type) {
    if (reader == nullptr) return E_UNEXPECTED;
    LONGLONG total = 0, available = 0;
    if (FAILED(reader->Length(&total, &available))) return VFW_E_UNSUPPORTED_STREAM;
    av::ByteSource source;
    source.size = total;
    source.read = [reader, total](int64_t position, uint8_t* buffer, int size) -> int {
        const int64_t n = std::min<int64_t>(size, total - position);
        if (n <= 0) return 0;
        return FAILED(reader->SyncRead(position, static_cast<LONG>(n), buffer)) ? -1 : static_cast<int>(n);
    };
    demuxer_ = av::Demuxer::Open(std::move(source), ContainerFor(type));
    if (demuxer_ == nullptr) return VFW_E_UNSUPPORTED_STREAM;
    int audio = 0, video = 0;
    for (const av::StreamInfo& info : demuxer_->Streams()) {
        std::u16string name = info.kind == av::StreamKind::Audio ? u"Audio" : u"Video";
        const int number = info.kind == av::StreamKind::Audio ? audio++ : video++;
        if (number > 0) name += static_cast<char16_t>(u'0' + std::min(number, 9));
        outputs_.push_back(std::make_unique<DemuxOutputPin>(this, &demuxLock_, info, name.c_str()));
    }
    start_ = 0;
    stop_ = -1;
    started_ = false;
    return S_OK;
}

void Demultiplexer::CloseSource() {
    for (auto& pin : outputs_) {
        IPin* other = nullptr;
        if (SUCCEEDED(pin->ConnectedTo(&other))) {
            other->Disconnect();
            other->Release();
        }
        pin->Disconnect();
        retired_.push_back(std::move(pin));
    }
    outputs_.clear();
    demuxer_.reset();
}

HRESULT Demultiplexer::Pause() {
    AutoLock lock(&demuxLock_);
    const bool starting = IsStopped();
    HRESULT hr = BaseFilter::Pause();
    if (FAILED(hr) || !starting || demuxer_ == nullptr) return hr;
    quit_ = false;
    for (auto& pin : outputs_)
        if (pin->IsConnected()) pin->StartQueue();
    reader_.Start([this] { ReadPackets(); });
    return S_OK;
}

HRESULT Demultiplexer::Stop() {
    quit_ = true;
    for (auto& pin : outputs_) pin->StopQueue();
    reader_.Join();
    return BaseFilter::Stop();
}

void Demultiplexer::ReadPackets() {
    if (started_ || start_ > 0) demuxer_->Seek(start_);
    started_ = true;
    const LONGLONG stop = stop_ >= 0 ? stop_ : INT64_MAX;
    auto connected = [this](int stream) {
        return stream >= 0 && stream < static_cast<int>(outputs_.size()) && outputs_[stream]->IsConnected();
    };
    for (size_t i = 0; i < outputs_.size(); ++i)
        if (connected(static_cast<int>(i))) outputs_[i]->Push({QueueItem::Segment, {}, start_, stop});
    std::vector<bool> ended(outputs_.size(), false);
    av::Packet packet;
    while (!quit_ && demuxer_->Read(&packet)) {
        if (!connected(packet.stream) || ended[packet.stream]) continue;
        if (packet.time != INT64_MIN) {
            if (packet.time > stop) {
                ended[packet.stream] = true;
                if (std::all_of(ended.begin(), ended.end(), [](bool e) { return e; })) break;
                continue;
            }
            packet.time -= start_;
        }
        QueueItem item;
        item.packet = std::move(packet);
        if (!outputs_[item.packet.stream]->Push(std::move(item))) return;
        packet = av::Packet();
    }
    for (size_t i = 0; i < outputs_.size() && !quit_; ++i)
        if (connected(static_cast<int>(i))) outputs_[i]->Push({QueueItem::End, {}, 0, 0});
}

}  // namespace

IBaseFilter* CreateDemultiplexer() {
    auto* f = new (std::nothrow) Demultiplexer();
    if (f != nullptr) f->AddRef();
    return f;
}

}  // namespace dshow
