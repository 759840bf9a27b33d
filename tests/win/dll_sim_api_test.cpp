// The simulator's control API as a host reaches it: through the DLL's own exports.
#include <cstring>

#include "dll_host.h"
#include "kelvox/kelvox_sim.h"

namespace {
using DefaultFn = void (*)(KELVOX_SIM_CAMERA*);
using AttachFn = int (*)(const KELVOX_SIM_CAMERA*);
using DetachFn = int (*)(int);
using PeekFn = int (*)(int, int, unsigned, unsigned*);
using StatsFn = int (*)(int, KELVOX_SIM_STATS*);
}  // namespace

TEST(DllSimApi, AttachPeekAndDetachThroughExports) {
    auto defaults = kelvox_test::Export<DefaultFn>("KelvoxSim_DefaultCamera");
    auto attach = kelvox_test::Export<AttachFn>("KelvoxSim_Attach");
    auto detach = kelvox_test::Export<DetachFn>("KelvoxSim_Detach");
    auto peek = kelvox_test::Export<PeekFn>("KelvoxSim_PeekRegister");
    auto stats = kelvox_test::Export<StatsFn>("KelvoxSim_GetStats");
    ASSERT_TRUE(defaults && attach && detach && peek && stats);

    KELVOX_SIM_CAMERA c;
    defaults(&c);
    EXPECT_EQ(c.size, static_cast<int>(sizeof c));
    EXPECT_EQ(c.product_id, 0x3100);
    std::strcpy(c.serial, "WINE-1");
    c.srom_id = 0x42;
    const int id = attach(&c);
    ASSERT_GE(id, 0);
    unsigned v = 0;
    EXPECT_EQ(peek(id, 0xA2, 0x1080, &v), 1);
    EXPECT_EQ(v, 0x42u);
    EXPECT_EQ(peek(id, 0xA2, 0x1040, &v), 1);
    EXPECT_EQ(v, static_cast<unsigned>('W'));
    KELVOX_SIM_STATS s{};
    s.size = sizeof s;
    EXPECT_EQ(stats(id, &s), 1);
    EXPECT_EQ(s.frames_sent, 0u);
    EXPECT_EQ(detach(id), 1);
    EXPECT_EQ(detach(id), 0);
    EXPECT_EQ(peek(id, 0x40, 0, &v), 0);
}
