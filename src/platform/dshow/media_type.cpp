// Media types: deep copies with their format blocks, and the value class.
#include "platform/dshow/dshow_base.h"

#include <cstdlib>
#include <cstring>

void* CoTaskMemAlloc(size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
void CoTaskMemFree(void* block) { std::free(block); }

void FreeMediaType(AM_MEDIA_TYPE& type) {
    CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk != nullptr) type.pUnk->Release();
    type.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    if (target == nullptr || source == nullptr) return E_POINTER;
    *target = *source;
    target->pbFormat = nullptr;
    target->cbFormat = 0;
    if (source->cbFormat != 0 && source->pbFormat != nullptr) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (target->pbFormat == nullptr) {
            target->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
        target->cbFormat = source->cbFormat;
    }
    if (target->pUnk != nullptr) target->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (type == nullptr) return nullptr;
    if (FAILED(CopyMediaType(type, source))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

MediaTypeValue::MediaTypeValue() : AM_MEDIA_TYPE{} { bFixedSizeSamples = TRUE; }

MediaTypeValue::MediaTypeValue(const AM_MEDIA_TYPE& type) : MediaTypeValue() { Set(type); }

MediaTypeValue::MediaTypeValue(const MediaTypeValue& other) : MediaTypeValue() { Set(other); }

MediaTypeValue& MediaTypeValue::operator=(const MediaTypeValue& other) {
    if (this != &other) Set(other);
    return *this;
}

MediaTypeValue& MediaTypeValue::operator=(const AM_MEDIA_TYPE& type) {
    if (this != &type) Set(type);
    return *this;
}

MediaTypeValue::~MediaTypeValue() { FreeMediaType(*this); }

HRESULT MediaTypeValue::Set(const AM_MEDIA_TYPE& type) {
    if (this == &type) return S_OK;
    AM_MEDIA_TYPE copy;
    HRESULT hr = CopyMediaType(&copy, &type);
    FreeMediaType(*this);
    if (FAILED(hr)) {
        Clear();
        return hr;
    }
    static_cast<AM_MEDIA_TYPE&>(*this) = copy;
    return S_OK;
}

void MediaTypeValue::Clear() {
    FreeMediaType(*this);
    static_cast<AM_MEDIA_TYPE&>(*this) = AM_MEDIA_TYPE{};
    bFixedSizeSamples = TRUE;
}

bool MediaTypeValue::IsEmpty() const {
    return majortype == GUID_NULL && subtype == GUID_NULL && formattype == GUID_NULL;
}

bool MediaTypeValue::Equals(const AM_MEDIA_TYPE& type) const {
    if (!(majortype == type.majortype && subtype == type.subtype && formattype == type.formattype)) return false;
    if (cbFormat != type.cbFormat) return false;
    return cbFormat == 0 || std::memcmp(pbFormat, type.pbFormat, cbFormat) == 0;
}

bool MediaTypeValue::MatchesPartial(const AM_MEDIA_TYPE& type) const {
    if (!(majortype == GUID_NULL) && !(majortype == type.majortype)) return false;
    if (!(subtype == GUID_NULL) && !(subtype == type.subtype)) return false;
    if (!(formattype == GUID_NULL) && !(formattype == type.formattype)) return false;
    return true;
}

BYTE* MediaTypeValue::AllocFormat(ULONG bytes) {
    CoTaskMemFree(pbFormat);
    pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(bytes));
    cbFormat = pbFormat != nullptr ? bytes : 0;
    if (pbFormat != nullptr) std::memset(pbFormat, 0, bytes);
    return pbFormat;
}

bool MediaTypeValue::SetFormat(const void* data, ULONG bytes) {
    if (AllocFormat(bytes) == nullptr) return false;
    std::memcpy(pbFormat, data, bytes);
    return true;
}
