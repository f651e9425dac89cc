#include "platform/pxtone/tune.h"

#include <cstring>

namespace pxt {
namespace {

constexpr char kMagic[4] = {'V', 'P', 'T', 'N'};
constexpr uint16_t kVersion = 1;

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// Little-endian reader over a bounded byte range: every read is checked
// against the end, and a failed read leaves ok false.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    size_t remaining() const { return size_ - pos_; }
    uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
    int8_t I8() { return static_cast<int8_t>(U8()); }
    uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
    bool Bytes(void* out, size_t n) {
        if (!ok_ || n > remaining()) return ok_ = false;
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    // The Field and Reserved calls of the layouts below.
    void Field(uint8_t& v) { v = U8(); }
    void Field(int8_t& v) { v = I8(); }
    void Field(uint16_t& v) { v = U16(); }
    void Field(uint32_t& v) { v = U32(); }
    void Field(Wave& v) { v = static_cast<Wave>(U8()); }
    // Reads reserved bytes up to the first one that is not zero.
    void Reserved(size_t n) {
        for (size_t i = 0; i < n && !reservedNotZero_; ++i) reservedNotZero_ = U8() != 0;
    }
    // True once any reserved byte read was not zero.
    bool reservedNotZero() const { return reservedNotZero_; }

private:
    uint64_t Take(size_t n) {
        if (!ok_ || n > remaining()) {
            ok_ = false;
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= uint64_t(data_[pos_ + i]) << (8 * i);
        pos_ += n;
        return v;
    }
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
    bool reservedNotZero_ = false;
};

class Writer {
public:
    void U8(uint8_t v) { out.push_back(v); }
    void I8(int8_t v) { out.push_back(static_cast<uint8_t>(v)); }
    void U16(uint16_t v) { Put(v, 2); }
    void U32(uint32_t v) { Put(v, 4); }
    void Zeros(size_t n) { out.insert(out.end(), n, 0); }
    void Field(uint8_t v) { U8(v); }
    void Field(int8_t v) { I8(v); }
    void Field(uint16_t v) { U16(v); }
    void Field(uint32_t v) { U32(v); }
    void Field(Wave v) { U8(static_cast<uint8_t>(v)); }
    void Reserved(size_t n) { Zeros(n); }
    std::vector<uint8_t> out;

private:
    void Put(uint64_t v, size_t n) {
        for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
};

// The file's layout after the magic and version, written once for both
// directions: Io is the Reader (fields filled in) or the Writer (fields
// written out), T the record or its const form.
template <typename Io, typename T>
void HeaderLayout(Io& io, T& t, uint8_t& instrumentCount, uint8_t& trackCount) {
    io.Field(t.bpm);
    io.Field(t.ticksPerBeat);
    io.Field(instrumentCount);
    io.Field(trackCount);
    io.Field(t.loopStart);
    io.Field(t.loopEnd);
    io.Field(t.gain);
    io.Field(t.echoDelayMs);
    io.Field(t.echoFeedback);
    io.Field(t.echoLevel);
    io.Field(t.reverbSize);
    io.Field(t.reverbDamping);
    io.Field(t.reverbLevel);
    io.Reserved(3);
}

template <typename Io, typename T>
void InstrumentLayout(Io& io, T& in) {
    io.Field(in.wave);
    io.Field(in.param1);
    io.Field(in.param2);
    io.Field(in.level);
    io.Field(in.attackMs);
    io.Field(in.decayMs);
    io.Field(in.sustain);
    io.Reserved(1);
    io.Field(in.releaseMs);
    io.Field(in.cutoffHz);
    io.Field(in.vibratoCents);
    io.Field(in.vibratoRate);
    io.Field(in.vibratoDelayMs);
    io.Field(in.detuneCents);
    io.Field(in.unisonCents);
    io.Reserved(4);
}

// A track's header; its events follow.
template <typename Io, typename T>
void TrackLayout(Io& io, T& tr, uint32_t& eventCount) {
    io.Field(tr.instrument);
    io.Field(tr.volume);
    io.Field(tr.pan);
    io.Field(tr.echoSend);
    io.Field(tr.reverbSend);
    io.Reserved(3);
    io.Field(eventCount);
}

template <typename Io, typename T>
void EventLayout(Io& io, T& e) {
    io.Field(e.tick);
    io.Field(e.length);
    io.Field(e.note);
    io.Field(e.velocity);
}

std::string Where(const char* what, size_t index) { return std::string(what) + " " + std::to_string(index); }

bool ValidateInstrument(const Instrument& in, size_t index, std::string* error) {
    const std::string at = Where("instrument", index);
    if (static_cast<int>(in.wave) >= kWaveCount) return Fail(error, at + ": unknown wave");
    bool usesP1 = false, usesP2 = false;
    switch (in.wave) {
    case Wave::Pulse:
        if (in.param1 < 8 || in.param1 > 128) return Fail(error, at + ": pulse duty out of 8..128");
        usesP1 = true;
        break;
    case Wave::FmBell:
        if (in.param1 < 1 || in.param1 > 64) return Fail(error, at + ": FM ratio out of 1..64");
        usesP1 = usesP2 = true;
        break;
    case Wave::Saw:
    case Wave::Pluck:
        usesP1 = usesP2 = true;
        break;
    default:
        break;
    }
    if ((!usesP1 && in.param1) || (!usesP2 && in.param2)) return Fail(error, at + ": parameter unused by its wave");
    if (in.attackMs > 10000 || in.decayMs > 20000 || in.releaseMs > 20000)
        return Fail(error, at + ": envelope time too long");
    if (in.cutoffHz != 0 && (in.cutoffHz < 20 || in.cutoffHz > 20000))
        return Fail(error, at + ": cutoff out of 20..20000 Hz");
    if (in.vibratoCents > 100 || in.vibratoRate > 200 || in.vibratoDelayMs > 10000)
        return Fail(error, at + ": vibrato out of range");
    if (in.detuneCents < -100 || in.detuneCents > 100) return Fail(error, at + ": detune out of -100..100");
    if (in.unisonCents > 50) return Fail(error, at + ": unison out of 0..50");
    return true;
}

bool ValidateTrack(const Tune& tune, const Track& tr, size_t index, std::string* error) {
    auto at = Where("track", index);
    if (tr.instrument >= tune.instruments.size()) return Fail(error, at + ": no such instrument");
    if (tr.pan < -127) return Fail(error, at + ": pan out of -127..127");
    if (tr.events.size() > kMaxEventsPerTrack) return Fail(error, at + ": too many events");
    const bool drums = tune.instruments[tr.instrument].wave == Wave::Drums;
    uint32_t last = 0;
    for (size_t i = 0; i < tr.events.size(); ++i) {
        const NoteEvent& e = tr.events[i];
        const char* why = nullptr;
        if (e.tick < last) why = "events out of order";
        else if (e.tick >= tune.loopEnd) why = "starts at or after the loop end";
        else if (e.length == 0) why = "zero length";
        else if (e.velocity == 0 || e.velocity > 127) why = "velocity out of 1..127";
        else if (drums && DrumForNote(e.note) == DrumKind::None) why = "no drum on this note";
        else if (!drums && (e.note < 12 || e.note > 120)) why = "note out of 12..120";
        if (why) return Fail(error, at + " " + Where("event", i) + ": " + why);
        last = e.tick;
    }
    return true;
}

}  // namespace

DrumKind DrumForNote(uint8_t note) {
    switch (note) {
    case kNoteKick: return DrumKind::Kick;
    case kNoteSnare: return DrumKind::Snare;
    case kNoteClosedHat: return DrumKind::ClosedHat;
    case kNoteOpenHat: return DrumKind::OpenHat;
    case kNoteLowTom: return DrumKind::LowTom;
    case kNoteHighTom: return DrumKind::HighTom;
    case kNoteClap: return DrumKind::Clap;
    case kNoteShaker: return DrumKind::Shaker;
    default: return DrumKind::None;
    }
}

int64_t FrameOfTick(const Tune& tune, uint64_t tick, int sampleRate) {
    const uint64_t perMinute = uint64_t(tune.bpm) * tune.ticksPerBeat;
    if (perMinute == 0 || sampleRate <= 0) return 0;
    return static_cast<int64_t>(tick * uint64_t(sampleRate) * 60u / perMinute);
}

bool ValidateTune(const Tune& tune, std::string* error) {
    if (tune.bpm < 20 || tune.bpm > 400) return Fail(error, "tempo out of 20..400");
    if (tune.ticksPerBeat < 1 || tune.ticksPerBeat > 960) return Fail(error, "ticks per beat out of 1..960");
    if (tune.loopEnd <= tune.loopStart) return Fail(error, "loop end not after loop start");
    if (uint64_t(tune.loopEnd) * 60u > uint64_t(kMaxTuneSeconds) * tune.bpm * tune.ticksPerBeat)
        return Fail(error, "tune longer than an hour");
    if (tune.gain < 1 || tune.gain > 4096) return Fail(error, "gain out of 1..4096");
    if (tune.echoDelayMs != 0 && (tune.echoDelayMs < 10 || tune.echoDelayMs > 2000))
        return Fail(error, "echo delay out of 10..2000 ms");
    if (tune.echoFeedback > 230) return Fail(error, "echo feedback above 230");
    if (tune.instruments.empty() || tune.instruments.size() > kMaxInstruments)
        return Fail(error, "instrument count out of 1..32");
    if (tune.tracks.empty() || tune.tracks.size() > kMaxTracks) return Fail(error, "track count out of 1..16");
    for (size_t i = 0; i < tune.instruments.size(); ++i)
        if (!ValidateInstrument(tune.instruments[i], i, error)) return false;
    for (size_t i = 0; i < tune.tracks.size(); ++i)
        if (!ValidateTrack(tune, tune.tracks[i], i, error)) return false;
    return true;
}

bool ParseTune(const uint8_t* data, size_t size, Tune* out, std::string* error) {
    if (!data || !out) return Fail(error, "no data");
    if (size > kMaxTuneFileBytes) return Fail(error, "file too large");
    Reader r(data, size);
    char magic[4];
    if (!r.Bytes(magic, 4) || std::memcmp(magic, kMagic, 4) != 0) return Fail(error, "not a tune file");
    if (r.U16() != kVersion) return Fail(error, r.ok() ? "unsupported version" : "truncated header");
    Tune t;
    uint8_t instrumentCount = 0, trackCount = 0;
    HeaderLayout(r, t, instrumentCount, trackCount);
    if (!r.ok()) return Fail(error, "truncated header");
    if (r.reservedNotZero()) return Fail(error, "reserved header bytes not zero");
    if (instrumentCount == 0 || instrumentCount > kMaxInstruments) return Fail(error, "instrument count out of 1..32");
    if (trackCount == 0 || trackCount > kMaxTracks) return Fail(error, "track count out of 1..16");
    if (r.remaining() < instrumentCount * kInstrumentBytes) return Fail(error, "truncated instruments");

    t.instruments.resize(instrumentCount);
    for (Instrument& in : t.instruments) {
        InstrumentLayout(r, in);
        if (r.reservedNotZero()) return Fail(error, "reserved instrument bytes not zero");
    }

    t.tracks.resize(trackCount);
    for (Track& tr : t.tracks) {
        if (r.remaining() < kTrackHeaderBytes) return Fail(error, "truncated track header");
        uint32_t count = 0;
        TrackLayout(r, tr, count);
        if (r.reservedNotZero()) return Fail(error, "reserved track bytes not zero");
        if (count > kMaxEventsPerTrack) return Fail(error, "too many events in a track");
        if (r.remaining() / kEventBytes < count) return Fail(error, "truncated events");
        tr.events.resize(count);
        for (NoteEvent& e : tr.events) EventLayout(r, e);
    }
    if (!r.ok()) return Fail(error, "truncated file");
    if (r.remaining() != 0) return Fail(error, "bytes after the last track");
    if (!ValidateTune(t, error)) return false;
    *out = std::move(t);
    return true;
}

std::vector<uint8_t> SerializeTune(const Tune& t) {
    Writer w;
    for (char c : kMagic) w.U8(static_cast<uint8_t>(c));
    w.U16(kVersion);
    uint8_t instrumentCount = static_cast<uint8_t>(t.instruments.size());
    uint8_t trackCount = static_cast<uint8_t>(t.tracks.size());
    HeaderLayout(w, t, instrumentCount, trackCount);
    for (const Instrument& in : t.instruments) InstrumentLayout(w, in);
    for (const Track& tr : t.tracks) {
        uint32_t count = static_cast<uint32_t>(tr.events.size());
        TrackLayout(w, tr, count);
        for (const NoteEvent& e : tr.events) EventLayout(w, e);
    }
    return std::move(w.out);
}

}  // namespace pxt
