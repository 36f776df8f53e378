#include <QPointer>
#include <QWidget>
#include <mutex>
#include <new>
#include <unordered_map>

#include "hostapi/KQDialog.h"

// Handles start above 0 and are never reused while the process lives, so a stale handle can
// only miss, never find another array or window.
namespace {

struct ItemArray {
    std::unique_ptr<TaKeyRegisterItem[]> entries;
    std::uint32_t capacity = 0;
};

struct HandleTables {
    std::mutex mutex;
    std::uint32_t nNext = 1;
    std::unordered_map<std::uint32_t, ItemArray> items;
    std::unordered_map<std::uint32_t, QPointer<QWidget>> windows;
    std::unordered_map<QWidget*, std::uint32_t> windowHandles;

    std::uint32_t NextHandle()
    {
        if (nNext == 0)
            return 0; // all 2^32 - 1 handles have been handed out
        return nNext++;
    }
};

HandleTables& Tables()
{
    static HandleTables tables;
    return tables;
}

} // namespace

std::uint32_t KQ_hAllocKeyItems(std::uint32_t count)
{
    if (count == 0)
        return 0;
    std::unique_ptr<TaKeyRegisterItem[]> array(new (std::nothrow) TaKeyRegisterItem[count]());
    if (!array)
        return 0;
    HandleTables& t = Tables();
    std::lock_guard lock(t.mutex);
    const std::uint32_t handle = t.NextHandle();
    if (handle == 0)
        return 0;
    t.items.emplace(handle, ItemArray{std::move(array), count});
    return handle;
}

TaKeyRegisterItem* KQ_pGetKeyItems(std::uint32_t handle)
{
    HandleTables& t = Tables();
    std::lock_guard lock(t.mutex);
    const auto it = t.items.find(handle);
    return it == t.items.end() ? nullptr : it->second.entries.get();
}

std::uint32_t KQ_nGetKeyItemCapacity(std::uint32_t handle)
{
    HandleTables& t = Tables();
    std::lock_guard lock(t.mutex);
    const auto it = t.items.find(handle);
    return it == t.items.end() ? 0 : it->second.capacity;
}

void KQ_FreeKeyItems(std::uint32_t handle)
{
    HandleTables& t = Tables();
    std::lock_guard lock(t.mutex);
    t.items.erase(handle);
}

std::uint32_t KQ_hGetWindowHandle(QWidget* window)
{
    if (!window)
        return 0;
    HandleTables& t = Tables();
    std::lock_guard lock(t.mutex);
    const auto known = t.windowHandles.find(window);
    if (known != t.windowHandles.end()) {
        const auto entry = t.windows.find(known->second);
        if (entry != t.windows.end() && entry->second == window)
            return known->second;
        // The address belonged to a window that has gone; a new window got it.
        t.windows.erase(known->second);
        t.windowHandles.erase(known);
    }
    const std::uint32_t handle = t.NextHandle();
    if (handle == 0)
        return 0;
    t.windows.emplace(handle, QPointer<QWidget>(window));
    t.windowHandles.emplace(window, handle);
    return handle;
}

QWidget* KQ_pWindowFromHandle(std::uint32_t handle)
{
    HandleTables& t = Tables();
    std::lock_guard lock(t.mutex);
    const auto it = t.windows.find(handle);
    return it == t.windows.end() ? nullptr : it->second.data();
}
