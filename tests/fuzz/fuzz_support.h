#pragma once
// What every fuzz target sets up once: a private settings store and device table, so a run never
// touches the user's stored settings or another program's simulated cameras, and a scratch folder.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

// A broken promise of the code under test: said, then a crash libFuzzer keeps the input of.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            abort();                                                                           \
        }                                                                                      \
    } while (0)

namespace fuzz {

// A folder of this process's own, removed at exit; XDG_CONFIG_HOME points into it.
inline const std::string& ScratchDirectory() {
    static const std::string* dir = [] {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                              "/kelvox-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        if (!made) {
            std::perror("mkdtemp");
            abort();
        }
        auto* d = new std::string(made);
        setenv("XDG_CONFIG_HOME", (*d + "/config").c_str(), 1);
        setenv("KELVOX_SIM_SHARED_SUFFIX", ("-fuzz-" + std::to_string(getpid())).c_str(), 1);
        atexit([] { std::system(("rm -rf '" + ScratchDirectory() + "'").c_str()); });
        return d;
    }();
    return *dir;
}

inline std::string ScratchFile(const char* name) { return ScratchDirectory() + "/" + name; }

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path.c_str());
        abort();
    }
}

}  // namespace fuzz
