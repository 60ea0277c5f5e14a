// Kernel objects behind HANDLE values: open files, find searches and events. A handle is
// a slot number with a generation, so a closed or forged handle is recognised (error 6)
// instead of reaching freed memory.
#pragma once

#include "platform/Win32.h"

#include <memory>

namespace orvane::platform {

class TKernelObject {
public:
    enum class TKind { File, Find, Event, Mmio };
    explicit TKernelObject(TKind kind) : Kind(kind) {}
    virtual ~TKernelObject() = default;
    // Releases what the object holds; false with the last error set when that failed.
    virtual BOOL Release() { return TRUE; }
    const TKind Kind;
};

// A new handle for the object; when the table is full, the object is released and
// INVALID_HANDLE_VALUE comes back with error 4.
HANDLE InsertObject(std::unique_ptr<TKernelObject> object);

// The object behind a live handle of the given kind, or nullptr with the last error set to
// ERROR_INVALID_HANDLE. The pointer stays valid until the handle is closed.
TKernelObject* LookupObject(HANDLE handle, TKernelObject::TKind kind);

// Takes the object out of the table; nullptr (error 6) when the handle is not live.
std::unique_ptr<TKernelObject> RemoveObject(HANDLE handle);

template <typename T> T* Lookup(HANDLE handle) {
    return static_cast<T*>(LookupObject(handle, T::ObjectKind));
}

} // namespace orvane::platform
