#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

namespace kelvox::platform {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHive = "HKEY_CURRENT_USER\\";

std::atomic<void (*)()> before_replace_hook{nullptr};

struct Value {
    std::string name;
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};
struct Key {
    std::string path;
    std::vector<Value> values;
};

// Key paths and value names compare without regard to ASCII case, as the registry's do.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

// Keys are kept in file order; the file is small, so lookups are plain scans.
struct Store {
    std::vector<Key> keys;

    Key* Find(std::string_view path) {
        for (Key& k : keys)
            if (SameName(k.path, path)) return &k;
        return nullptr;
    }
    static Value* FindValue(Key& key, std::string_view name) {
        for (Value& v : key.values)
            if (SameName(v.name, name)) return &v;
        return nullptr;
    }
};

// "name" at the start of `line`, with \\ and \" escapes; the position after the closing quote,
// or npos.
size_t ParseQuoted(std::string_view line, size_t at, std::string* out) {
    if (at >= line.size() || line[at] != '"') return std::string_view::npos;
    out->clear();
    for (size_t i = at + 1; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            out->push_back(line[++i]);
        } else if (line[i] == '"') {
            return i + 1;
        } else {
            out->push_back(line[i]);
        }
    }
    return std::string_view::npos;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>* out) {
    out->clear();
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ',' || text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= text.size()) break;
        if (i + 2 > text.size()) return false;
        char digits[3] = {text[i], text[i + 1], 0};
        char* end = nullptr;
        const long v = std::strtol(digits, &end, 16);
        if (end != digits + 2) return false;
        out->push_back(static_cast<uint8_t>(v));
        i += 2;
    }
    return true;
}

// One `"name"=data` line into a value; false for anything it does not understand (skipped).
bool ParseValue(std::string_view line, Value* v) {
    size_t at = 0;
    if (!line.empty() && line[0] == '@') {
        v->name.clear();
        at = 1;
    } else if ((at = ParseQuoted(line, 0, &v->name)) == std::string_view::npos) {
        return false;
    }
    if (at >= line.size() || line[at] != '=') return false;
    const std::string_view data = line.substr(at + 1);
    if (data.starts_with("dword:")) {
        const std::string digits(data.substr(6));
        char* end = nullptr;
        const unsigned long d = std::strtoul(digits.c_str(), &end, 16);
        if (digits.empty() || digits.size() > 8 || *end) return false;
        const uint32_t word = static_cast<uint32_t>(d);
        v->type = static_cast<uint32_t>(RegistryType::kDword);
        v->bytes.assign(reinterpret_cast<const uint8_t*>(&word), reinterpret_cast<const uint8_t*>(&word) + 4);
        return true;
    }
    if (data.starts_with("hex:")) {
        v->type = static_cast<uint32_t>(RegistryType::kBinary);
        return ParseHexBytes(data.substr(4), &v->bytes);
    }
    if (data.starts_with("hex(")) {
        const size_t close = data.find("):");
        if (close == std::string_view::npos) return false;
        const std::string digits(data.substr(4, close - 4));
        char* end = nullptr;
        v->type = static_cast<uint32_t>(std::strtoul(digits.c_str(), &end, 16));
        if (digits.empty() || *end) return false;
        return ParseHexBytes(data.substr(close + 2), &v->bytes);
    }
    std::string text;
    if (ParseQuoted(data, 0, &text) != data.size()) return false;
    v->type = static_cast<uint32_t>(RegistryType::kString);
    v->bytes.assign(text.begin(), text.end());
    v->bytes.push_back(0);
    return true;
}

Store Parse(const std::string& text) {
    Store store;
    Key* current = nullptr;
    std::string line, pending;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        line.assign(text, at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        // Long hex data goes on over lines ending in a backslash.
        const size_t first = line.find_first_not_of(" \t");
        pending += pending.empty() ? line : line.substr(first == std::string::npos ? line.size() : first);
        if (!pending.empty() && pending.back() == '\\' && pending.find("=hex") != std::string::npos) {
            pending.pop_back();
            continue;
        }
        std::string_view l = pending;
        if (l.size() >= 2 && l.front() == '[' && l.back() == ']') {
            std::string_view path = l.substr(1, l.size() - 2);
            current = nullptr;
            if (path.size() > kHive.size() && SameName(path.substr(0, kHive.size()), kHive)) {
                path.remove_prefix(kHive.size());
                current = store.Find(path);
                if (!current) current = &store.keys.emplace_back(Key{std::string(path), {}});
            }
        } else if (current) {
            Value v;
            if (ParseValue(l, &v)) {
                if (Value* old = Store::FindValue(*current, v.name)) *old = std::move(v);
                else current->values.push_back(std::move(v));
            }
        }
        pending.clear();
    }
    return store;
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string Format(const Store& store) {
    std::string out(kHeader);
    out += "\n\n";
    char buf[16];
    for (const Key& k : store.keys) {
        out += "[";
        out += kHive;
        out += k.path + "]\n";
        for (const Value& v : k.values) {
            std::string line = v.name.empty() ? "@=" : Quoted(v.name) + "=";
            if (v.type == static_cast<uint32_t>(RegistryType::kDword) && v.bytes.size() == 4) {
                uint32_t word;
                std::memcpy(&word, v.bytes.data(), 4);
                std::snprintf(buf, sizeof buf, "dword:%08x", word);
                line += buf;
            } else {
                if (v.type == static_cast<uint32_t>(RegistryType::kBinary)) {
                    line += "hex:";
                } else {
                    std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
                    line += buf;
                }
                for (size_t i = 0; i < v.bytes.size(); ++i) {
                    std::snprintf(buf, sizeof buf, "%02x", v.bytes[i]);
                    line += buf;
                    if (i + 1 < v.bytes.size()) {
                        line += ",";
                        if (line.size() > 74) {  // wrapped as the registry editor does
                            out += line + "\\\n";
                            line = "  ";
                        }
                    }
                }
            }
            out += line + "\n";
        }
        out += "\n";
    }
    return out;
}

bool ReadWhole(const std::string& path, std::string* text) {
    text->clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;  // no store yet: empty
    char buf[16384];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) text->append(buf, static_cast<size_t>(n));
    close(fd);
    return n == 0;
}

bool WriteWhole(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool MakeDirectories(const std::string& dir) {
    for (size_t at = 1; at <= dir.size(); ++at) {
        if (at < dir.size() && dir[at] != '/') continue;
        const std::string part = dir.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

Store Load() {
    std::string text;
    const std::string path = RegistryStorePath();
    if (path.empty() || !ReadWhole(path, &text)) return {};
    return Parse(text);
}

// Read, change and replace the store with every other writer (thread or process) held off by
// an flock on "<store>.lock". The new text goes to "<store>.new" and is renamed over the store,
// so a writer that dies midway leaves the old store whole.
template <class Change>
bool Update(Change change) {
    const std::string path = RegistryStorePath();
    if (path.empty()) return false;
    const std::string dir = path.substr(0, path.rfind('/'));
    if (!MakeDirectories(dir)) return false;
    const int lock = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) return false;
    // Bounded: a stuck writer elsewhere makes this write fail, never hangs the caller.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            close(lock);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    bool ok = false;
    std::string text;
    if (ReadWhole(path, &text)) {
        Store store = Parse(text);
        bool changed = false;
        ok = change(store, changed);
        if (ok && changed) {
            const std::string fresh = path + ".new";
            const int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            ok = fd >= 0 && WriteWhole(fd, Format(store)) && fsync(fd) == 0;
            if (fd >= 0) ok = close(fd) == 0 && ok;
            if (ok) {
                if (void (*hook)() = before_replace_hook.load()) hook();
                ok = rename(fresh.c_str(), path.c_str()) == 0;
            }
            if (ok) {
                const int d = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (d >= 0) {
                    fsync(d);
                    close(d);
                }
            } else {
                unlink(fresh.c_str());
            }
        }
    }
    close(lock);  // drops the lock
    return ok;
}

}  // namespace

std::string RegistryStorePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/kelvox/registry.reg";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/kelvox/registry.reg";
    return {};
}

void SetRegistryBeforeReplaceHook(void (*hook)()) { before_replace_hook.store(hook); }

RegistryKey::~RegistryKey() { Close(); }

void RegistryKey::Close() {
    open_ = false;
    path_.clear();
}

bool RegistryKey::Open(const std::string& path) {
    Close();
    Store store = Load();
    if (!store.Find(path)) return false;
    path_ = path;
    return open_ = true;
}

bool RegistryKey::Create(const std::string& path) {
    Close();
    if (path.empty()) return false;
    const bool ok = Update([&](Store& store, bool& changed) {
        // Every parent first, as the registry makes them.
        for (size_t at = 0; at <= path.size(); ++at) {
            if (at < path.size() && path[at] != '\\') continue;
            const std::string_view part(path.data(), at);
            if (!part.empty() && !store.Find(part)) {
                store.keys.push_back(Key{std::string(part), {}});
                changed = true;
            }
        }
        return true;
    });
    if (!ok) return false;
    path_ = path;
    return open_ = true;
}

int RegistryKey::Query(const char* name, void* out, uint32_t size) const {
    if (!open_ || !out) return -1;
    Store store = Load();
    Key* key = store.Find(path_);
    const Value* v = key ? Store::FindValue(*key, name ? name : "") : nullptr;
    if (!v || v->bytes.size() > size) return -1;
    if (!v->bytes.empty()) std::memcpy(out, v->bytes.data(), v->bytes.size());  // an empty value has no data()
    return static_cast<int>(v->bytes.size());
}

bool RegistryKey::Set(const char* name, RegistryType type, const void* data, uint32_t size) {
    if (!open_ || (!data && size)) return false;
    const std::string value_name = name ? name : "";
    const auto* bytes = static_cast<const uint8_t*>(data);
    return Update([&](Store& store, bool& changed) {
        Key* key = store.Find(path_);
        if (!key) return false;  // deleted meanwhile
        Value v{value_name, static_cast<uint32_t>(type), std::vector<uint8_t>(bytes, bytes + size)};
        if (Value* old = Store::FindValue(*key, value_name)) {
            if (old->type == v.type && old->bytes == v.bytes) return true;
            old->type = v.type;
            old->bytes = std::move(v.bytes);
        } else {
            key->values.push_back(std::move(v));
        }
        changed = true;
        return true;
    });
}

}  // namespace kelvox::platform
