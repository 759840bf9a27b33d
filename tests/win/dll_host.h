#pragma once
// Loads the SDK DLL the way a host application does and resolves its exports by name.
#include <windows.h>

#include <gtest/gtest.h>

#include "kelvox/kelvox.h"

namespace kelvox_test {

constexpr const char* kDllName = "ZorezoRer_Av40_IVA3_V5.dll";

inline HMODULE Dll() {
    static HMODULE module = LoadLibraryA(kDllName);
    return module;
}

template <class Fn>
Fn Export(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(Dll(), name)));
}

}  // namespace kelvox_test

// A member holding the named export of the DLL, typed as the header declares it.
#define KELVOX_EXPORT(name) decltype(&::name) name = kelvox_test::Export<decltype(&::name)>(#name)
