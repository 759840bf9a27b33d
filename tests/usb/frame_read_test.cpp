// Frame header and payload reads, their retries, and releasing a blocked read from another thread.
#include <atomic>
#include <thread>
#include <vector>

#include "sim_testing.h"
#include "usb/device_table.h"
#include "usb/fx3_controller.h"
#include "usb_test_support.h"

using namespace kelvox::usb;
using kelvox_usb_test::Cameras;
using kelvox_usb_test::Stats;

namespace {

class FrameReadTest : public kelvox_usb_test::SelectedController {
protected:
    FrameReadTest() : SelectedController("FRAMES") {}
    void SetUp() override {
        SelectedController::SetUp();
        ASSERT_TRUE(controller_.PrepareDevice());
        payload_.resize(1920 * 1200 * 2);
        frame_.buffer = payload_.data();
        frame_.capacity = static_cast<uint32_t>(payload_.size());
    }
    void SetGeometry(int width, int height) {
        ASSERT_TRUE(controller_.WriteFpgaRegister(kFpgaWidthLow, width & 0xFF));
        ASSERT_TRUE(controller_.WriteFpgaRegister(kFpgaWidthHigh, width >> 8));
        ASSERT_TRUE(controller_.WriteFpgaRegister(kFpgaHeightLow, height & 0xFF));
        ASSERT_TRUE(controller_.WriteFpgaRegister(kFpgaHeightHigh, height >> 8));
    }
    std::vector<uint8_t> payload_;
    FrameDescriptor frame_{};
};

}  // namespace

TEST_F(FrameReadTest, HeaderThenPayloadInOnePieceForExactly512KiB) {
    SetGeometry(1024, 512);
    ASSERT_TRUE(controller_.ReadFrameHeader(&frame_, 0));
    EXPECT_EQ(GetLe32(frame_.header + kHeaderPayloadLength), 0x80000u);
    EXPECT_EQ(std::memcmp(frame_.header_words, frame_.header + kHeaderTriggerCount, 8), 0);
    EXPECT_NE(controller_.data_handle(), kNoHandle);  // kept open for the payload
    ASSERT_TRUE(controller_.ReadFrameData(&frame_, 3000));
    // No empty remainder piece: that would have waited for a frame that never comes.
    const KELVOX_SIM_STATS s = Stats(id_);
    EXPECT_EQ(s.frames_sent, 1u);
    EXPECT_EQ(s.arm_requests, 1u);
    EXPECT_EQ(s.pipe_aborts, 0u);
}

TEST_F(FrameReadTest, OneByteOverAPieceIsReadAsTwoPieces) {
    SetGeometry(1024, 513);  // the frame is longer than what we ask for
    ASSERT_TRUE(controller_.ReadFrameHeader(&frame_, 0));
    PutLe32(frame_.header + kHeaderPayloadLength, 0x80001);
    ASSERT_TRUE(controller_.ReadFrameData(&frame_, 3000));
    // The stream resumes right after byte 0x80001: the rest of the frame is 1023 bytes.
    std::vector<uint8_t> rest(4096);
    uint32_t bytes = 0;
    ASSERT_TRUE(controller_.DirectBulkTransfer(controller_.data_handle(), rest.data(), 4096, kImageEndpoint, &bytes));
    EXPECT_EQ(bytes, 1024u * 513u - 0x80001u);
    EXPECT_EQ(Stats(id_).frames_sent, 1u);
}

TEST_F(FrameReadTest, PayloadLongerThanTheBufferIsRefused) {
    ASSERT_TRUE(controller_.ReadFrameHeader(&frame_, 0));
    frame_.capacity = GetLe32(frame_.header + kHeaderPayloadLength) - 1;
    EXPECT_FALSE(controller_.ReadFrameData(&frame_, 3000));
    EXPECT_EQ(Stats(id_).frames_sent, 0u);
}

TEST_F(FrameReadTest, HeaderReadThatNeverSucceedsArms16TimesAndRestarts15) {
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_HEADER_READ, -1), 1);
    const KELVOX_SIM_STATS before = Stats(id_);
    EXPECT_FALSE(controller_.ReadFrameHeader(&frame_, 0));
    const KELVOX_SIM_STATS after = Stats(id_);
    EXPECT_EQ(after.arm_requests - before.arm_requests, 16u);
    EXPECT_EQ(after.receiver_restarts - before.receiver_restarts, 15u);
    EXPECT_EQ(after.pipe_aborts - before.pipe_aborts, 15u);  // one per failed read
    EXPECT_EQ(controller_.data_handle(), kNoHandle);        // opened here, closed again
}

TEST_F(FrameReadTest, HeaderReadRecoversAfterFailures) {
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_HEADER_READ, 2), 1);
    ASSERT_TRUE(controller_.ReadFrameHeader(&frame_, 0));
    const KELVOX_SIM_STATS s = Stats(id_);
    EXPECT_EQ(s.arm_requests, 3u);
    EXPECT_EQ(s.receiver_restarts, 2u);
    EXPECT_EQ(s.headers_sent, 1u);
}

TEST_F(FrameReadTest, StalledHeaderReadTimesOutAndIsAbortedThenRetried) {
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_STALL, 1), 1);
    ASSERT_TRUE(controller_.ReadFrameHeader(&frame_, 0));  // 400 ms wait, abort, pulse, again
    const KELVOX_SIM_STATS s = Stats(id_);
    EXPECT_GE(s.pipe_aborts, 1u);
    EXPECT_EQ(s.receiver_restarts, 1u);
    EXPECT_EQ(s.arm_requests, 2u);
}

TEST_F(FrameReadTest, TransfersNeedAHandleBufferAndSaneLength) {
    uint8_t byte;
    uint32_t bytes = 0;
    EXPECT_FALSE(controller_.DirectBulkTransfer(kNoHandle, &byte, 1, kImageEndpoint, &bytes, 10));
    ASSERT_TRUE(controller_.OpenDataHandle());
    EXPECT_FALSE(controller_.DirectBulkTransfer(controller_.data_handle(), &byte, kMaxTransferLength + 1,
                                                kImageEndpoint, &bytes, 10));
    controller_.CloseController();  // no transfer buffer any more
    ASSERT_TRUE(controller_.OpenDataHandle());
    EXPECT_FALSE(controller_.DirectBulkTransfer(controller_.data_handle(), &byte, 1, kImageEndpoint, &bytes, 10));
}

// The stop path: a payload read blocked in the driver is released by the pipe abort from
// another thread, not by its own time-out.
TEST_F(FrameReadTest, AbortFromAnotherThreadReleasesBlockedRead) {
    ASSERT_TRUE(controller_.ReadFrameHeader(&frame_, 0));
    ASSERT_EQ(KelvoxSim_InjectFault(id_, KELVOX_SIM_FAULT_STALL, -1), 1);
    const unsigned aborts_before = Stats(id_).pipe_aborts;
    std::atomic<int> result{-1};
    // Had the read ended by its time-out instead, that path would have sent aborts of its own.
    std::thread reader([&] { result = controller_.ReadFrameData(&frame_, 30000) ? 1 : 0; });
    EXPECT_TRUE(kelvox::sim::WaitForPendingRead(id_, 10000));
    controller_.AbortImagePipe();
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Stats(id_).pipe_aborts - aborts_before, 1u);
}
