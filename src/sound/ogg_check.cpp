// The page structure check of Ogg Vorbis data (see ogg_check.h), over
// libogg's sync layer, which finds pages and checks their sums the way
// vorbisfile does.
#include "sound/ogg_check.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr long kReadBytes = 65536;

// A packet that starts with a Vorbis header's type byte and name.
bool IsVorbisHeader(const unsigned char* p, long bytes, int type) {
    return bytes >= 7 && p[0] == type && std::memcmp(p + 1, "vorbis", 6) == 0;
}

bool IsAnyVorbisHeader(const unsigned char* p, long bytes) {
    return IsVorbisHeader(p, bytes, 1) || IsVorbisHeader(p, bytes, 3) || IsVorbisHeader(p, bytes, 5);
}

class LinkChecker {
public:
    // Takes the next page; false with *why set on a fault.
    bool Page(ogg_page* page, const char** why) {
        const int serial = ogg_page_serialno(page);
        if (ogg_page_bos(page)) {
            if (!starting_ && !serials_.empty() && !EndLink(why)) return false;
            if (std::count(serials_.begin(), serials_.end(), serial) != 0)
                return Fault(why, "a stream starts twice in one link");
            starting_ = true;
            serials_.push_back(serial);
            if (IsVorbisHeader(page->body, page->body_len, 1)) {
                ++vorbisStreams_;
                vorbisSerial_ = serial;
                nextPage_ = 0;
                return VorbisPage(page, why);
            }
            return true;
        }
        starting_ = false;
        if (std::count(serials_.begin(), serials_.end(), serial) == 0)
            return Fault(why, "a page of a stream its link did not start");
        return serial == vorbisSerial_ ? VorbisPage(page, why) : true;
    }

    // Bytes that are no page; false with *why set when they lie in the headers.
    bool Damage(const char** why) {
        if (!serials_.empty() && !HeadersDone()) return Fault(why, "damaged data inside a link's headers");
        return true;
    }

    // The end of the data: the last link may be cut anywhere.
    bool End(const char** why) {
        if (vorbisStreams_ > 1) return Fault(why, "a link with more than one Vorbis stream");
        return true;
    }

private:
    bool HeadersDone() const { return headers_ >= 3; }

    static bool Fault(const char** why, const char* text) {
        *why = text;
        return false;
    }

    bool EndLink(const char** why) {
        if (vorbisStreams_ != 1) return Fault(why, "a link without exactly one Vorbis stream");
        if (!HeadersDone()) return Fault(why, "a link whose Vorbis headers are incomplete");
        serials_.clear();
        vorbisStreams_ = 0;
        vorbisSerial_ = -1;
        headers_ = 0;
        inPacket_ = false;
        return true;
    }

    // A page of the link's Vorbis stream: its place and its packets' starts.
    bool VorbisPage(ogg_page* page, const char** why) {
        if (!HeadersDone()) {
            if (ogg_page_pageno(page) != nextPage_) return Fault(why, "a Vorbis header page lost or repeated");
            ++nextPage_;
            if (ogg_page_continued(page) != (inPacket_ ? 1 : 0))
                return Fault(why, "a Vorbis header packet broken across pages");
        }
        const unsigned char* lacing = page->header + 27;
        const int segments = page->header[26];
        long offset = 0;
        bool starts = !ogg_page_continued(page);
        for (int i = 0; i < segments; ++i) {
            if (starts) {
                long length = 0;  // the packet's bytes on this page
                for (int j = i; j < segments; ++j) {
                    length += lacing[j];
                    if (lacing[j] < 255) break;
                }
                if (!Start(page->body + offset, length, why)) return false;
            }
            offset += lacing[i];
            starts = lacing[i] < 255;
            if (starts && !HeadersDone()) ++headers_;  // a header packet ends here
        }
        inPacket_ = !starts;
        return true;
    }

    // A packet starting on a page of the Vorbis stream.
    bool Start(const unsigned char* p, long bytes, const char** why) {
        if (HeadersDone()) {
            return IsAnyVorbisHeader(p, bytes) ? Fault(why, "a Vorbis header repeated after the headers") : true;
        }
        static constexpr int kTypes[3] = {1, 3, 5};
        const long shown = std::min<long>(bytes, 7);
        if (shown == 0) return Fault(why, "Vorbis headers missing or out of order");
        unsigned char expected[7] = {static_cast<unsigned char>(kTypes[headers_]), 'v', 'o', 'r', 'b', 'i', 's'};
        if (std::memcmp(p, expected, static_cast<size_t>(shown)) != 0)
            return Fault(why, "Vorbis headers missing or out of order");
        return true;
    }

    bool starting_ = false;  // the last page started a stream
    std::vector<int> serials_;
    int vorbisStreams_ = 0;
    int vorbisSerial_ = -1;
    int headers_ = 0;  // Vorbis header packets complete
    long nextPage_ = 0;
    bool inPacket_ = false;  // a packet goes on onto the next Vorbis page
};

}  // namespace

OggCheck CheckOggVorbisPages(const DataStream& stream, const char** why) {
    const int32_t start = stream.functions.Tell(stream.handle);
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    LinkChecker checker;
    bool sound = true, anyPage = false;
    for (bool more = true; sound;) {
        ogg_page page;
        const long got = ogg_sync_pageseek(&sync, &page);
        if (got > 0) {
            anyPage = true;
            sound = checker.Page(&page, why);
        } else if (got < 0) {
            if (anyPage) sound = checker.Damage(why);
        } else if (!more) {
            break;
        } else {
            char* buffer = ogg_sync_buffer(&sync, kReadBytes);
            const size_t read = buffer != nullptr ? stream.functions.Read(buffer, 1, kReadBytes, stream.handle) : 0;
            ogg_sync_wrote(&sync, static_cast<long>(read));
            more = read > 0;
        }
    }
    if (sound && anyPage) sound = checker.End(why);
    ogg_sync_clear(&sync);
    stream.functions.Seek(stream.handle, start, 0);
    if (!anyPage) return OggCheck::NotOgg;
    return sound ? OggCheck::Sound : OggCheck::Faulty;
}
