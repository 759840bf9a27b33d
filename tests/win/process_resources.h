#pragma once
// What a process holds of the system, for leak checks under Wine, where GetGuiResources and
// GetProcessHandleCount answer 0: kernel handles from the system's handle list, GDI objects from
// the process's GDI handle table (the PEB's GdiSharedHandleTable).
#include <windows.h>
#include <winternl.h>

#include <vector>

namespace kelvox_test {

struct ProcessResources {
    long handles = 0;
    long gdi_objects = 0;

    static ProcessResources Measure() { return {CountHandles(), CountGdiObjects()}; }

private:
    static long CountHandles() {
        // SYSTEM_HANDLE_INFORMATION_EX (class 64): a count, a reserved word, then the entries.
        struct Entry {
            void* object;
            ULONG_PTR process_id;
            ULONG_PTR handle;
            ULONG access;
            USHORT creator_back_trace, object_type;
            ULONG attributes, reserved;
        };
        using Query = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);
        auto query = reinterpret_cast<Query>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
        std::vector<char> buffer(1 << 20);
        for (ULONG needed = 0; query; buffer.resize(buffer.size() * 2)) {
            const LONG status = query(64, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
            if (status == 0) break;
            if (buffer.size() > (64u << 20)) return -1;
        }
        const ULONG_PTR count = *reinterpret_cast<const ULONG_PTR*>(buffer.data());
        const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + 2 * sizeof(ULONG_PTR));
        long ours = 0;
        for (ULONG_PTR i = 0; i < count; ++i) ours += entries[i].process_id == GetCurrentProcessId();
        return ours;
    }

    static long CountGdiObjects() {
        struct Entry {  // 24 bytes on x64
            void* object;
            USHORT process_id, count, upper, type;
            void* user;
        };
        static_assert(sizeof(Entry) == 24);
        using Query = LONG(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
        auto query = reinterpret_cast<Query>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
        PROCESS_BASIC_INFORMATION basic{};
        if (!query || query(GetCurrentProcess(), 0, &basic, sizeof basic, nullptr) != 0) return -1;
        const auto* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
        const auto* table = *reinterpret_cast<const Entry* const*>(peb + 0xF8);
        if (!table) return -1;
        const auto pid = static_cast<USHORT>(GetCurrentProcessId());
        long ours = 0;
        for (int i = 0; i < 0x10000; ++i)  // Wine leaves the owner 0 in its per-process table
            ours += table[i].object && (table[i].process_id == pid || table[i].process_id == 0);
        return ours;
    }
};

}  // namespace kelvox_test
