// The per-user file behind the registry keys outside Windows: its text, what it tolerates, and
// that neither a writer dying midway nor two writing processes lose anything stored.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry.h"

namespace {

using kelvox::platform::RegistryKey;
using kelvox::platform::RegistryType;

std::string StoreText() {
    std::ifstream in(kelvox::platform::RegistryStorePath());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteStore(const std::string& text) {
    const std::filesystem::path path = kelvox::platform::RegistryStorePath();
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

int Read(const char* key, const char* name) {
    RegistryKey k;
    int v = -1;
    if (!k.Open(key) || !k.QueryDword(name, &v)) return -999;
    return v;
}

}  // namespace

TEST(RegistryFile, KeysAndValuesAsTheRegistryExportWritesThem) {
    RegistryKey k;
    ASSERT_FALSE(k.Open("Software\\A"));
    ASSERT_TRUE(k.Create("Software\\A\\B"));
    ASSERT_TRUE(k.SetDword("Size", 0x1234));
    ASSERT_TRUE(k.SetDword("Neg", -2));
    const unsigned char bytes[] = {0x00, 0x01, 0xfe, 0xff, 0x10, 0x20, 0x30, 0x40};
    ASSERT_TRUE(k.Set("Bin", RegistryType::kBinary, bytes, sizeof bytes));
    std::string long_bytes(60, '\x5a');
    ASSERT_TRUE(k.Set("Quote\"d", RegistryType::kBinary, long_bytes.data(), 60));
    const std::string text = StoreText();
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n", 0), 0u) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\A\\B]\n\"Size\"=dword:00001234\n\"Neg\"=dword:fffffffe\n"
                        "\"Bin\"=hex:00,01,fe,ff,10,20,30,40\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"Quote\\\"d\"=hex:5a,"), std::string::npos);
    EXPECT_NE(text.find(",\\\n  5a,"), std::string::npos);  // long data wraps

    // Read back through a fresh key, names in any case.
    RegistryKey r;
    ASSERT_TRUE(r.Open("software\\a\\B"));
    int v = 0;
    EXPECT_TRUE(r.QueryDword("SIZE", &v));
    EXPECT_EQ(v, 0x1234);
    std::string back(60, '\0');
    EXPECT_EQ(r.Query("quote\"D", back.data(), 60), 60);
    EXPECT_EQ(back, long_bytes);
    unsigned char small[4] = {9, 9, 9, 9};
    EXPECT_EQ(r.Query("Bin", small, 4), -1);  // too long: untouched
    EXPECT_EQ(small[0], 9);
    EXPECT_EQ(r.Query("Missing", small, 4), -1);
}

TEST(RegistryFile, HandEditedFilesAreReadAsFarAsTheyMakeSense) {
    WriteStore("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\K]\r\n"
               "\"Word\"=dword:0000002a\r\n"
               "\"Text\"=\"a \\\"b\\\" \\\\ c\"\r\n"
               "\"Short\"=hex:07,00\r\n"
               "\"Multi\"=hex(7):41,00,\\\r\n"
               "  42,00,00,00\r\n"
               "\"Broken\"=dword:xyz\r\n"
               "garbage line\r\n"
               "[HKEY_LOCAL_MACHINE\\Software\\K]\r\n"
               "\"Word\"=dword:00000001\r\n");
    RegistryKey k;
    ASSERT_TRUE(k.Open("Software\\K"));
    int v = 0;
    EXPECT_TRUE(k.QueryDword("Word", &v));
    EXPECT_EQ(v, 42);  // the other hive is not ours
    char text[16] = {};
    EXPECT_EQ(k.Query("Text", text, sizeof text), 10);
    EXPECT_STREQ(text, "a \"b\" \\ c");
    v = 0x55555555;
    EXPECT_EQ(k.Query("Short", &v, 4), 2);  // a short value fills its own bytes only
    EXPECT_EQ(v, 0x55550007);
    unsigned char multi[6] = {};
    EXPECT_EQ(k.Query("Multi", multi, 6), 6);
    EXPECT_EQ(multi[2], 0x42);
    EXPECT_EQ(k.Query("Broken", &v, 4), -1);

    // A write keeps every value it understood.
    RegistryKey w;
    ASSERT_TRUE(w.Create("Software\\K"));
    ASSERT_TRUE(w.SetDword("New", 5));
    EXPECT_EQ(Read("Software\\K", "Word"), 42);
    EXPECT_EQ(k.Query("Multi", multi, 6), 6);
    EXPECT_EQ(k.Query("Text", text, sizeof text), 10);
}

namespace {
void DieBeforeReplacing() { _exit(3); }
}  // namespace

TEST(RegistryFile, AWriterDyingBeforeTheReplaceLosesNothing) {
    RegistryKey k;
    ASSERT_TRUE(k.Create("Software\\Crash"));
    ASSERT_TRUE(k.SetDword("Kept", 1));
    const std::string before = StoreText();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        kelvox::platform::SetRegistryBeforeReplaceHook(DieBeforeReplacing);
        RegistryKey c;
        c.Create("Software\\Crash");
        c.SetDword("Kept", 2);
        c.SetDword("Lost", 3);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 3);  // it did die there
    EXPECT_EQ(StoreText(), before);
    EXPECT_EQ(Read("Software\\Crash", "Kept"), 1);
    EXPECT_EQ(Read("Software\\Crash", "Lost"), -999);
    // The next writer goes on over the leftover.
    ASSERT_TRUE(k.SetDword("After", 4));
    EXPECT_EQ(Read("Software\\Crash", "After"), 4);
    EXPECT_EQ(Read("Software\\Crash", "Kept"), 1);
}

TEST(RegistryFile, TwoProcessesWritingAtOnceKeepEveryValue) {
    constexpr int kValues = 60;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            RegistryKey k;
            bool ok = k.Create(c ? "Software\\Two\\B" : "Software\\Two\\A");
            for (int i = 0; i < kValues && ok; ++i) ok = k.SetDword(("V" + std::to_string(i)).c_str(), c * 1000 + i);
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < kValues; ++i)
            EXPECT_EQ(Read(c ? "Software\\Two\\B" : "Software\\Two\\A", ("V" + std::to_string(i)).c_str()), c * 1000 + i);
}

TEST(RegistryFile, NoPlaceToKeepItMeansNothingOpensOrWrites) {
    const std::string saved = getenv("XDG_CONFIG_HOME");
    setenv("XDG_CONFIG_HOME", "/proc/no-such-place", 1);
    RegistryKey k;
    EXPECT_FALSE(k.Create("Software\\X"));
    EXPECT_FALSE(k.Open("Software\\X"));
    EXPECT_FALSE(k.SetDword("V", 1));
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}
