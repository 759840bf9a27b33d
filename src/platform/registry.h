#pragma once
// Keys of the current user's registry, by path below HKEY_CURRENT_USER ("Software\A\B"). On
// Windows the registry itself; elsewhere a per-user file in the registry's export text format
// (see RegistryStorePath), rewritten whole and atomically at every change.
#include <cstdint>
#include <string>

namespace kelvox::platform {

enum class RegistryType : uint32_t { kString = 1, kBinary = 3, kDword = 4 };

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens an existing key for reading; false when it is missing.
    bool Open(const std::string& path);
    // Opens the key for reading and writing, creating it and any missing parents.
    bool Create(const std::string& path);
    void Close();
    bool is_open() const { return open_; }

    // Copies the value's bytes into `out` when it exists and holds at most `size` bytes (a shorter
    // value fills only its own bytes, whatever its type) and returns how many; -1 when it is
    // missing or larger, `out` untouched.
    int Query(const char* name, void* out, uint32_t size) const;
    bool QueryDword(const char* name, int* value) const { return Query(name, value, 4) >= 0; }
    bool Set(const char* name, RegistryType type, const void* data, uint32_t size);
    bool SetDword(const char* name, int value) { return Set(name, RegistryType::kDword, &value, 4); }

private:
    bool open_ = false;
#ifdef _WIN32
    void* key_ = nullptr;
#else
    std::string path_;
#endif
};

#ifndef _WIN32
// The file behind the keys: $XDG_CONFIG_HOME/kelvox/registry.reg, or ~/.config/kelvox/registry.reg;
// empty when neither variable is set.
std::string RegistryStorePath();
// Tests: called after the new store is written and before it replaces the old one.
void SetRegistryBeforeReplaceHook(void (*hook)());
#endif

}  // namespace kelvox::platform
