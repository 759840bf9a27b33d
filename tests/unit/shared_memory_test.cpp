#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/shared_memory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

using kelvox::platform::SharedMemory;

namespace {

// Unique per test process, so parallel test runs never share a block.
std::string BlockName(const char* tag) {
#ifdef _WIN32
    const unsigned long pid = GetCurrentProcessId();
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    return std::string("KelvoxTest-") + tag + "-" + std::to_string(pid);
}

bool AllZero(const SharedMemory& m) {
    const auto* p = static_cast<const unsigned char*>(m.data());
    for (size_t i = 0; i < m.size(); ++i)
        if (p[i]) return false;
    return true;
}

}  // namespace

TEST(SharedMemory, SecondHolderSeesTheSameBytes) {
    const std::string name = BlockName("share");
    SharedMemory first, second;
    ASSERT_TRUE(first.Open(name, 8584));
    EXPECT_FALSE(first.existed());
    EXPECT_TRUE(AllZero(first));
    std::memcpy(first.data(), "camera", 6);

    ASSERT_TRUE(second.Open(name, 8584));
    EXPECT_TRUE(second.existed());
    EXPECT_NE(first.data(), second.data());  // two views of one block
    EXPECT_EQ(std::memcmp(second.data(), "camera", 6), 0);
    static_cast<char*>(second.data())[8583] = 'x';
    EXPECT_EQ(static_cast<char*>(first.data())[8583], 'x');
}

TEST(SharedMemory, BlockIsGoneWhenLastHolderCloses) {
    const std::string name = BlockName("lifetime");
    {
        SharedMemory a, b;
        ASSERT_TRUE(a.Open(name, 4096));
        ASSERT_TRUE(b.Open(name, 4096));
        std::memset(a.data(), 0x5A, 4096);
        a.Close();
        SharedMemory c;  // b still holds it
        ASSERT_TRUE(c.Open(name, 4096));
        EXPECT_TRUE(c.existed());
        EXPECT_EQ(static_cast<unsigned char*>(c.data())[100], 0x5A);
    }
    SharedMemory fresh;
    ASSERT_TRUE(fresh.Open(name, 4096));
    EXPECT_FALSE(fresh.existed());
    EXPECT_TRUE(AllZero(fresh));
}

#ifndef _WIN32
// A holder that dies without closing must not leave its bytes to the next holder.
TEST(SharedMemory, HolderThatDiedLeavesNoStaleBlock) {
    const std::string name = BlockName("crash");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SharedMemory m;
        if (!m.Open(name, 4096)) _exit(2);
        std::memset(m.data(), 0x77, 4096);
        _exit(0);  // no Close, no destructors
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    SharedMemory m;
    ASSERT_TRUE(m.Open(name, 4096));
    EXPECT_FALSE(m.existed());
    EXPECT_TRUE(AllZero(m));
}

// While another process holds the block, a new holder attaches to the same bytes.
TEST(SharedMemory, ProcessesShareWhileBothHoldIt) {
    const std::string name = BlockName("xproc");
    SharedMemory mine;
    ASSERT_TRUE(mine.Open(name, 4096));
    static_cast<unsigned char*>(mine.data())[0] = 1;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SharedMemory m;
        if (!m.Open(name, 4096) || !m.existed()) _exit(2);
        auto* p = static_cast<unsigned char*>(m.data());
        if (p[0] != 1) _exit(3);
        p[1] = 2;
        m.Close();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(static_cast<unsigned char*>(mine.data())[1], 2);  // the child's close left it to us
}
#endif
