// Internals shared by the KERNEL32 stand-in's files: the table of kernel
// objects behind HANDLE values.
#pragma once

#include "platform/kernel32/kernel32.h"

#include <memory>

namespace kernel32 {

enum class ObjectKind { Thread, Event, File, Find };

// Base of every object behind a handle.
struct KernelObject {
    explicit KernelObject(ObjectKind k) : kind(k) {}
    virtual ~KernelObject() = default;
    ObjectKind kind;
};

// Registers an object and returns its new handle (never null nor
// INVALID_HANDLE_VALUE; values are not reused).
HANDLE AddObject(std::shared_ptr<KernelObject> object);
// The object behind handle when it is of the given kind, else null.
std::shared_ptr<KernelObject> FindObject(HANDLE handle, ObjectKind kind);
// Any object behind handle, else null.
std::shared_ptr<KernelObject> FindAnyObject(HANDLE handle);
// Forgets the handle; false when it names nothing.
bool RemoveObject(HANDLE handle);

template <typename T>
std::shared_ptr<T> FindTyped(HANDLE handle, ObjectKind kind) {
    return std::static_pointer_cast<T>(FindObject(handle, kind));
}

// The last error matching an errno value.
DWORD ErrorFromErrno(int error);

// True for a Shift-JIS (code page 932) lead byte.
inline bool IsShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace kernel32
