// Code pages (932 and UTF-8 through iconv) and path conversion.
#include "platform/kernel32/internal.h"
#include "platform/seams/seams.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>

using kernel32::IsShiftJisLead;
using platform::FailWith;

namespace {

enum class Encoding { ShiftJis, Utf8, Utf16 };

const char* IconvName(Encoding encoding) {
    switch (encoding) {
        case Encoding::ShiftJis: return "CP932";
        case Encoding::Utf8: return "UTF-8";
        case Encoding::Utf16: return "UTF-16LE";
    }
    return "UTF-8";
}

// One iconv descriptor for the length of one conversion. Nothing is kept
// between calls, so conversions work on any thread and at any time, also
// from static destructors at process exit.
class IconvDescriptor {
public:
    IconvDescriptor(Encoding from, Encoding to) : descriptor_(iconv_open(IconvName(to), IconvName(from))) {}
    ~IconvDescriptor() {
        if (Valid()) iconv_close(descriptor_);
    }
    IconvDescriptor(const IconvDescriptor&) = delete;
    IconvDescriptor& operator=(const IconvDescriptor&) = delete;
    bool Valid() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return descriptor_; }

private:
    iconv_t descriptor_;
};

// Bytes of the input character at text that could not be converted.
size_t BadCharacterLength(Encoding from, const unsigned char* text, size_t left) {
    size_t length = 1;
    if (from == Encoding::ShiftJis) {
        length = IsShiftJisLead(text[0]) ? 2 : 1;
    } else if (from == Encoding::Utf8) {
        if (text[0] >= 0xF0 && text[0] < 0xF8) length = 4;
        else if (text[0] >= 0xE0) length = 3;
        else if (text[0] >= 0xC0) length = 2;
        for (size_t i = 1; i < length && i < left; ++i) {
            if ((text[i] & 0xC0) != 0x80) {
                length = i;
                break;
            }
        }
    } else {
        length = 2;
        if (left >= 4 && (text[1] & 0xFC) == 0xD8 && (text[3] & 0xFC) == 0xDC) length = 4;
    }
    return length < left ? length : left;
}

// Converts bytes from one encoding to another; an unconvertible character
// becomes the replacement byte ('?' unless given). Sets *lossy when any did.
// Returns false when iconv is missing.
bool Convert(Encoding from, Encoding to, const char* text, size_t bytes, std::string& out, bool* lossy,
             char replacementByte = '?') {
    out.clear();
    if (lossy) *lossy = false;
    IconvDescriptor open(from, to);
    if (!open.Valid()) return false;
    iconv_t descriptor = open.Get();
    const std::string replacement =
        to == Encoding::Utf16 ? std::string{replacementByte, '\0'} : std::string(1, replacementByte);
    char* in = const_cast<char*>(text);
    size_t inLeft = bytes;
    char chunk[1024];
    while (inLeft > 0) {
        char* outPointer = chunk;
        size_t outLeft = sizeof chunk;
        size_t result = iconv(descriptor, &in, &inLeft, &outPointer, &outLeft);
        out.append(chunk, outPointer - chunk);
        if (result != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: an unconvertible or cut-off character.
        size_t skip = BadCharacterLength(from, reinterpret_cast<unsigned char*>(in), inLeft);
        in += skip;
        inLeft -= skip;
        out += replacement;
        if (lossy) *lossy = true;
        iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

bool EncodingOfCodePage(UINT codePage, Encoding* encoding) {
    if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == 932) {
        *encoding = Encoding::ShiftJis;
        return true;
    }
    if (codePage == CP_UTF8) {
        *encoding = Encoding::Utf8;
        return true;
    }
    return false;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int bytes, WCHAR* wide, int wideChars) {
    if (auto failed = seams::FailNow<DWORD>("MultiByteToWideChar", ERROR_INVALID_PARAMETER))
        return FailWith(*failed, 0);
    Encoding encoding;
    if (!EncodingOfCodePage(codePage, &encoding) || text == nullptr || bytes == 0 || bytes < -1 ||
        wideChars < 0 || (wideChars > 0 && wide == nullptr))
        return FailWith(ERROR_INVALID_PARAMETER, 0);
    size_t length = bytes == -1 ? std::strlen(text) + 1 : static_cast<size_t>(bytes);
    std::string utf16;
    if (!Convert(encoding, Encoding::Utf16, text, length, utf16, nullptr)) return FailWith(ERROR_INVALID_PARAMETER, 0);
    int needed = static_cast<int>(utf16.size() / 2);
    if (wideChars == 0) return needed;
    if (needed > wideChars) return FailWith(122, 0);  // ERROR_INSUFFICIENT_BUFFER
    std::memcpy(wide, utf16.data(), utf16.size());
    return needed;
}

int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* wide, int wideChars, LPSTR text, int bytes,
                        LPCSTR defaultChar, BOOL* usedDefault) {
    if (auto failed = seams::FailNow<DWORD>("WideCharToMultiByte", ERROR_INVALID_PARAMETER))
        return FailWith(*failed, 0);
    Encoding encoding;
    if (!EncodingOfCodePage(codePage, &encoding) || wide == nullptr || wideChars == 0 || wideChars < -1 ||
        bytes < 0 || (bytes > 0 && text == nullptr))
        return FailWith(ERROR_INVALID_PARAMETER, 0);
    size_t units = 0;
    if (wideChars == -1) {
        while (wide[units] != 0) ++units;
        ++units;
    } else {
        units = static_cast<size_t>(wideChars);
    }
    std::string converted;
    bool lossy = false;
    char replacement = defaultChar != nullptr && defaultChar[0] != '\0' ? defaultChar[0] : '?';
    if (!Convert(Encoding::Utf16, encoding, reinterpret_cast<const char*>(wide), units * 2, converted, &lossy,
                 replacement))
        return FailWith(ERROR_INVALID_PARAMETER, 0);
    if (usedDefault != nullptr) *usedDefault = lossy ? TRUE : FALSE;
    int needed = static_cast<int>(converted.size());
    if (bytes == 0) return needed;
    if (needed > bytes) return FailWith(122, 0);  // ERROR_INSUFFICIENT_BUFFER
    std::memcpy(text, converted.data(), converted.size());
    return needed;
}

namespace platform {

std::string ShiftJisToUtf8(const char* text, size_t bytes) {
    std::string out;
    if (text == nullptr) return out;
    if (!Convert(Encoding::ShiftJis, Encoding::Utf8, text, bytes, out, nullptr)) out.assign(text, bytes);
    return out;
}

std::string ShiftJisToUtf8(const char* text) { return text ? ShiftJisToUtf8(text, std::strlen(text)) : std::string(); }

std::string Utf8ToShiftJis(const char* text) {
    std::string out;
    if (text == nullptr) return out;
    size_t bytes = std::strlen(text);
    if (!Convert(Encoding::Utf8, Encoding::ShiftJis, text, bytes, out, nullptr)) out.assign(text, bytes);
    return out;
}

std::string PathToNative(const char* path) {
    if (path == nullptr) return std::string();
    std::string slashed;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsShiftJisLead(c) && path[i + 1] != '\0') {
            slashed += path[i];
            slashed += path[++i];  // a trail byte, even 0x5C, is part of the character
        } else {
            slashed += c == '\\' ? '/' : path[i];
        }
    }
    return ShiftJisToUtf8(slashed.c_str(), slashed.size());
}

std::string PathFromNative(const std::string& path) {
    // '/' never occurs inside a multi-byte character of UTF-8 or Shift-JIS, so
    // the separators can be swapped before the conversion.
    std::string backslashed = path;
    for (char& c : backslashed)
        if (c == '/') c = '\\';
    return Utf8ToShiftJis(backslashed.c_str());
}

}  // namespace platform
