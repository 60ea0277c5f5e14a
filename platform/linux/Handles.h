// Kernel objects behind HANDLE values: open files, find searches and events. A handle is
// a slot number with a generation, so a closed or forged handle is recognised (error 6)
// instead of reaching freed memory.
#pragma once

#include "platform/Win32.h"

#include <atomic>
#include <cstdint>
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
// ERROR_INVALID_HANDLE. The pointer stays valid until the handle is closed. Every transfer
// call looks its handle up, so the common case is inline.
TKernelObject* LookupSlow(HANDLE handle, TKernelObject::TKind kind);

inline constexpr std::uint32_t HandleSlotCount = 1u << 16;

struct THandleSlot {
    std::atomic<TKernelObject*> object{nullptr};
    std::atomic<std::uint32_t> generation{0};
};
extern THandleSlot* const HandleSlots;

inline TKernelObject* LookupObject(HANDLE handle, TKernelObject::TKind kind) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    const std::uintptr_t packed = (value >> 2) - 1;
    if ((value & 3) == 0 && value != 0 && handle != INVALID_HANDLE_VALUE) {
        const THandleSlot& slot = HandleSlots[packed & (HandleSlotCount - 1)];
        TKernelObject* object = slot.object.load(std::memory_order_acquire);
        if (object != nullptr && object->Kind == kind &&
            slot.generation.load(std::memory_order_relaxed) ==
                static_cast<std::uint32_t>(packed >> 16)) {
            return object;
        }
    }
    return LookupSlow(handle, kind);
}

// Takes the object out of the table; nullptr (error 6) when the handle is not live.
std::unique_ptr<TKernelObject> RemoveObject(HANDLE handle);

template <typename T> T* Lookup(HANDLE handle) {
    return static_cast<T*>(LookupObject(handle, T::ObjectKind));
}

} // namespace orvane::platform
