// The handle table: fixed slots, each with a generation that every reuse advances.
#include "platform/linux/Handles.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace orvane::platform {

namespace {

constexpr std::uint32_t SlotCount = HandleSlotCount;
using TSlot = THandleSlot;

struct TTable {
    std::mutex lock;
    std::vector<std::uint32_t> free;
    std::uint32_t used = 0;
};

TTable& Table() {
    static TTable* table = new TTable; // never destroyed: handles may be closed at exit
    return *table;
}

// Constant-initialized, so the slots are there before any static constructor runs.
THandleSlot slotStorage[SlotCount];

// Handle values are multiples of 4, never 0 or -1, as on Windows.
HANDLE Encode(std::uint32_t index, std::uint32_t generation) {
    const std::uintptr_t value = ((std::uintptr_t{generation} << 16 | index) + 1) << 2;
    return reinterpret_cast<HANDLE>(value);
}

bool Decode(HANDLE handle, std::uint32_t& index, std::uint32_t& generation) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == 0 || (value & 3) != 0 || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::uintptr_t packed = (value >> 2) - 1;
    index = static_cast<std::uint32_t>(packed & (SlotCount - 1));
    generation = static_cast<std::uint32_t>(packed >> 16);
    return true;
}

} // namespace

THandleSlot* const HandleSlots = slotStorage;

HANDLE InsertObject(std::unique_ptr<TKernelObject> object) {
    TTable& table = Table();
    std::lock_guard guard(table.lock);
    std::uint32_t index;
    if (!table.free.empty()) {
        index = table.free.back();
        table.free.pop_back();
    } else if (table.used < SlotCount) {
        index = table.used++;
    } else {
        object->Release(); // what it holds goes with it
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return INVALID_HANDLE_VALUE;
    }
    TSlot& slot = slotStorage[index];
    const std::uint32_t generation = (slot.generation.load() + 1) & 0xFFFF;
    slot.generation.store(generation);
    slot.object.store(object.release());
    return Encode(index, generation);
}

TKernelObject* LookupSlow(HANDLE, TKernelObject::TKind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

std::unique_ptr<TKernelObject> RemoveObject(HANDLE handle) {
    std::uint32_t index = 0;
    std::uint32_t generation = 0;
    if (Decode(handle, index, generation)) {
        TTable& table = Table();
        std::lock_guard guard(table.lock);
        TSlot& slot = slotStorage[index];
        if (slot.object.load() != nullptr && slot.generation.load() == generation) {
            std::unique_ptr<TKernelObject> object(slot.object.exchange(nullptr));
            table.free.push_back(index);
            return object;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

} // namespace orvane::platform
