// The DLL's export table: names, ordinals, and nothing but system DLLs loaded with it.
#include <algorithm>
#include <string>
#include <vector>

#include "dll_host.h"

namespace {

const std::vector<std::string>& AllExportNames() {
    static const std::vector<std::string> names = {
#include "export_names.inc"
    };
    return names;
}

struct ExportEntry {
    std::string name;
    DWORD ordinal;
};

// Reads the export directory of the loaded image.
std::vector<ExportEntry> ReadExportTable(HMODULE module) {
    auto* base = reinterpret_cast<const unsigned char*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    std::vector<ExportEntry> out;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        out.push_back({reinterpret_cast<const char*>(base + names[i]), exports->Base + ordinals[i]});
    return out;
}

}  // namespace

TEST(DllExports, LoadsByItsName) { ASSERT_NE(kelvox_test::Dll(), nullptr) << GetLastError(); }

TEST(DllExports, OrdinalsAreAlphabeticalRanks) {
    ASSERT_NE(kelvox_test::Dll(), nullptr);
    const auto table = ReadExportTable(kelvox_test::Dll());
    const auto& names = AllExportNames();
    int product = 0;
    for (const auto& e : table) {
        if (e.name.rfind("KelvoxSim_", 0) == 0) {
            EXPECT_GE(e.ordinal, 150u) << e.name;
            continue;
        }
        const auto it = std::find(names.begin(), names.end(), e.name);
        ASSERT_NE(it, names.end()) << "unexpected export " << e.name;
        EXPECT_EQ(e.ordinal, static_cast<DWORD>(it - names.begin() + 1)) << e.name;
        ++product;
        // Reached by ordinal, the same function as by name.
        EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kelvox_test::Dll(), MAKEINTRESOURCEA(e.ordinal))),
                  reinterpret_cast<void*>(GetProcAddress(kelvox_test::Dll(), e.name.c_str())))
            << e.name;
    }
    EXPECT_EQ(product, static_cast<int>(names.size()));  // every name of the catalogue, nothing else
}

TEST(DllExports, NoRuntimeDllsLoadedAlongside) {
    ASSERT_NE(kelvox_test::Dll(), nullptr);
    // zlib1.dll is left out: Wine's own modules load a builtin one.
    for (const char* runtime : {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll",
                                "libjpeg-62.dll", "libjpeg-8.dll", "libpng16-16.dll", "libtiff-6.dll"})
        EXPECT_EQ(GetModuleHandleA(runtime), nullptr) << runtime;
}
