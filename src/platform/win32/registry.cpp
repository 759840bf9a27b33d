#include "platform/registry.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace kelvox::platform {

RegistryKey::~RegistryKey() { Close(); }

void RegistryKey::Close() {
    if (key_) RegCloseKey(static_cast<HKEY>(key_));
    key_ = nullptr;
    open_ = false;
}

bool RegistryKey::Open(const std::string& path) {
    Close();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    key_ = key;
    open_ = true;
    return true;
}

bool RegistryKey::Create(const std::string& path) {
    Close();
    HKEY key = nullptr;
    char no_class[] = "";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, no_class, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    key_ = key;
    open_ = true;
    return true;
}

int RegistryKey::Query(const char* name, void* out, uint32_t size) const {
    if (!key_ || !out) return -1;
    // Into a buffer of our own first: a value that does not fit leaves the caller's bytes alone.
    std::vector<BYTE> data(size ? size : 1);
    DWORD type = 0, length = size;
    if (RegQueryValueExA(static_cast<HKEY>(key_), name, nullptr, &type, data.data(), &length) != ERROR_SUCCESS ||
        length > size)
        return -1;
    std::copy_n(data.data(), length, static_cast<BYTE*>(out));
    return static_cast<int>(length);
}

bool RegistryKey::Set(const char* name, RegistryType type, const void* data, uint32_t size) {
    if (!key_) return false;
    return RegSetValueExA(static_cast<HKEY>(key_), name, 0, static_cast<DWORD>(type), static_cast<const BYTE*>(data),
                          size) == ERROR_SUCCESS;
}

}  // namespace kelvox::platform
