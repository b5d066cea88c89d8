#include "addin/accelerators.h"

#include "core/accel_edit.h"
#include "host/host_windows.h"

namespace {

// Tables below this size are rebuilt here instead of on the heap.
enum : size_t { ACCEL_SCRATCH_BYTES = 1024 };
AccelEntry accelScratch[ACCEL_SCRATCH_BYTES / sizeof(AccelEntry) + 1];

// Copies the host's current table into a buffer with room for `extra` more
// entries; returns the buffer (scratch or heap) and the count, or null.
AccelEntry* copyHostTable(HACCEL table, int extra, int* count, bool* onHeap)
{
    int n = CopyAcceleratorTableA(table, nullptr, 0);
    if (n < 0)
        return nullptr;
    size_t bytes = (size_t)(n + extra) * sizeof(AccelEntry);
    *onHeap = bytes >= ACCEL_SCRATCH_BYTES;
    AccelEntry* entries =
        *onHeap ? (AccelEntry*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes) : accelScratch;
    if (!entries)
        return nullptr;
    // The platform leaves the pad byte of each entry as it finds it.
    if (!*onHeap)
        ZeroMemory(accelScratch, sizeof accelScratch);
    *count = n > 0 ? CopyAcceleratorTableA(table, (ACCEL*)entries, n) : 0;
    return entries;
}

void replaceHostTable(HACCEL old, AccelEntry* entries, int count)
{
    HACCEL table = count > 0 ? CreateAcceleratorTableA((ACCEL*)entries, count) : nullptr;
    if (count > 0 && !table)
        return;
    *hostWindows().acceleratorVar = table;
    DestroyAcceleratorTable(old);
}

}  // namespace

void editHostTable(AccelEdit edit, const HostShortcut* shortcuts, size_t count)
{
    HACCEL* variable = hostWindows().acceleratorVar;
    HACCEL old = variable ? *variable : nullptr;
    if (!old)
        return;
    int n = 0;
    bool onHeap = false;
    AccelEntry* entries = copyHostTable(old, edit == ACCEL_ADD ? (int)count : 0, &n, &onHeap);
    if (!entries)
        return;
    size_t entryCount = (size_t)n;
    bool changed = false;
    for (size_t i = 0; i < count; ++i) {
        const HostShortcut& s = shortcuts[i];
        if (edit == ACCEL_ADD) {
            entryCount = appendAccel(entries, entryCount, s.shortcut, (uint16_t)s.command);
            changed = true;
        } else {
            long at = findAccel(entries, entryCount, s.shortcut, (uint16_t)s.command);
            if (at >= 0) {
                entryCount = removeAccelAt(entries, entryCount, (size_t)at);
                changed = true;
            }
        }
    }
    if (changed)
        replaceHostTable(old, entries, (int)entryCount);
    if (onHeap)
        HeapFree(GetProcessHeap(), 0, entries);
}
