// The per-user file behind the registry keys outside Windows, with arbitrary text in it: reading
// it never fails badly, and what it understood reads back the same from the file and from the
// file it writes after a change (parsed, changed, formatted again).
#include <strings.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "platform/registry.h"

namespace {

using kelvox::platform::RegistryKey;
using kelvox::platform::RegistryType;

struct Value {
    std::string name;
    std::vector<uint8_t> bytes;
};
struct Key {
    std::string path;
    std::vector<Value> values;
};

constexpr std::string_view kHive = "[HKEY_CURRENT_USER\\";
const std::string kMarker = "Software\\KelvoxFuzz\\Marker";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One value line as the store writes it (wrapped lines already joined); false when it is not.
bool ReadValueLine(std::string_view line, Value* v) {
    size_t at;
    if (line.starts_with("@=")) {
        at = 2;
    } else {
        if (line.empty() || line[0] != '"') return false;
        for (at = 1; at < line.size() && line[at] != '"'; ++at) {
            if (line[at] == '\\' && ++at == line.size()) return false;
            v->name.push_back(line[at]);
        }
        if (at + 1 >= line.size() || line[at + 1] != '=') return false;
        at += 2;
    }
    std::string_view data = line.substr(at);
    if (data.starts_with("dword:")) {
        if (data.size() != 14) return false;
        uint32_t word = 0;
        for (char c : data.substr(6)) {
            if (HexDigit(c) < 0) return false;
            word = word << 4 | static_cast<uint32_t>(HexDigit(c));
        }
        for (int i = 0; i < 4; ++i) v->bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
        return true;
    }
    if (data.starts_with("hex(")) {
        const size_t close = data.find("):");
        if (close == std::string_view::npos || close == 4) return false;
        for (char c : data.substr(4, close - 4))
            if (HexDigit(c) < 0) return false;
        data.remove_prefix(close + 2);
    } else if (data.starts_with("hex:")) {
        data.remove_prefix(4);
    } else {
        return false;
    }
    for (size_t i = 0; i < data.size(); i += 3) {
        if (i + 2 > data.size() || HexDigit(data[i]) < 0 || HexDigit(data[i + 1]) < 0) return false;
        if (i + 2 < data.size() && data[i + 2] != ',') return false;
        v->bytes.push_back(static_cast<uint8_t>(HexDigit(data[i]) << 4 | HexDigit(data[i + 1])));
    }
    return true;
}

// The keys and values of a store the library wrote. Every line must be one it writes.
std::vector<Key> ReadWrittenStore(const std::string& text) {
    std::vector<Key> keys;
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        FUZZ_CHECK(end != std::string::npos);  // every line ends
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    FUZZ_CHECK(!lines.empty() && lines[0] == "Windows Registry Editor Version 5.00");
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (line.empty()) continue;
        if (line.starts_with(kHive) && line.back() == ']') {
            keys.push_back(Key{line.substr(kHive.size(), line.size() - kHive.size() - 1), {}});
            continue;
        }
        // Long data goes on over lines ending in a backslash, continued after two spaces.
        while (!line.empty() && line.back() == '\\') {
            FUZZ_CHECK(i + 1 < lines.size() && lines[i + 1].starts_with("  "));
            line.pop_back();
            line += lines[++i].substr(2);
        }
        Value v;
        FUZZ_CHECK(!keys.empty() && ReadValueLine(line, &v));
        keys.back().values.push_back(std::move(v));
    }
    return keys;
}

bool InMarkerChain(const std::string& path) {
    for (size_t n : {size_t{8}, size_t{19}, kMarker.size()})
        if (path.size() == n && strncasecmp(path.c_str(), kMarker.c_str(), n) == 0) return true;
    return false;
}

// Every key and value in `keys` as the library reads them from the store now. Keys that the
// marker's creation may have added are allowed to be missing.
void CheckReadBack(const std::vector<Key>& keys, bool marker_may_be_missing) {
    std::vector<uint8_t> buffer;
    for (const Key& k : keys) {
        RegistryKey key;
        const bool opened = key.Open(k.path);
        if (marker_may_be_missing && InMarkerChain(k.path)) {
            if (!opened) continue;
        } else {
            FUZZ_CHECK(opened);
        }
        for (const Value& v : k.values) {
            if (v.name.find('\0') != std::string::npos) continue;  // not reachable by a C string
            if (marker_may_be_missing && InMarkerChain(k.path) && strcasecmp(v.name.c_str(), "Run") == 0) continue;
            buffer.assign(v.bytes.size() + 1, 0xA5);
            FUZZ_CHECK(key.Query(v.name.c_str(), buffer.data(), static_cast<uint32_t>(buffer.size())) ==
                       static_cast<int>(v.bytes.size()));
            FUZZ_CHECK(v.bytes.empty() || std::memcmp(buffer.data(), v.bytes.data(), v.bytes.size()) == 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string store = [] {
        fuzz::ScratchDirectory();
        const std::string path = kelvox::platform::RegistryStorePath();
        mkdir(path.substr(0, path.rfind("/kelvox/")).c_str(), 0700);
        mkdir(path.substr(0, path.rfind('/')).c_str(), 0700);
        return path;
    }();
    static uint64_t run = 0;
    fuzz::WriteFile(store, data, size);
    // A change makes the library parse the file and write it again, formatted.
    {
        RegistryKey marker;
        FUZZ_CHECK(marker.Create(kMarker));
        ++run;
        FUZZ_CHECK(marker.Set("Run", RegistryType::kBinary, &run, sizeof run));
    }
    const std::string written = ReadText(store);
    const std::vector<Key> keys = ReadWrittenStore(written);
    CheckReadBack(keys, false);
    // The original text reads the same as the one written from it.
    fuzz::WriteFile(store, data, size);
    CheckReadBack(keys, true);
    return 0;
}
