// The whole frame processing of each colour mode against the plain kernels applied one after the
// other in the documented order: the fused passes (one table for gamma, contrast and brightness;
// brightness riding on the sharpening) must not change a byte.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "api/handle_table.h"
#include "imaging/reference_kernels.h"
#include "kelvox/kelvox.h"
#include "kelvox/kelvox_sim.h"
#include "session/session.h"

namespace {

namespace ref = kelvox_ref;

ref::Picture Copy(kelvox::imaging::DibImage& image) {
    ref::Picture p(image.width(), image.height(), image.bytes_per_pixel());
    std::memcpy(p.bytes.data(), image.pixels(), p.bytes.size());
    return p;
}

// Parameter: the threads processing shares the rows with, the calling one included.
class ProcessingPipeline : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strcpy(c.serial, "PIPELINE");
        c.paced = 0;
        c.noise = 300;  // every pixel different
        camera_ = KelvoxSim_Attach(&c);
        ASSERT_GE(camera_, 0);
        handle_ = Kelvox_Initialize(nullptr);
        session_ = kelvox::SessionOf(handle_);
        ASSERT_NE(session_, nullptr);
        ASSERT_EQ(Kelvox_SetCaptureWindowEx(handle_, 1920, 0, 37, 1200, 0, 23), 1);
        session_->StartBandWorkers(GetParam());
    }
    void TearDown() override {
        Kelvox_Release(handle_);
        KelvoxSim_DetachAll();
    }
    // Takes a frame in the mode and returns the raw picture it started from and what came out.
    void Frame(int bits, ref::Picture* raw, ref::Picture* out) {
        ASSERT_EQ(Kelvox_SetColorMode(handle_, bits), 1);
        ASSERT_EQ(Kelvox_SnapShot(handle_, nullptr, 0, 0), 1);
        const bool wide = bits == 16 || bits == 48 || bits == 64;
        kelvox::imaging::DibImage& raw_image = *session_->picture(wide ? kelvox::Session::kRaw16 : kelvox::Session::kRaw8);
        *raw = Copy(raw_image);
        // Processing again from the same raw picture must give the same output; keep it.
        const int index = bits == 8 ? 0 : bits == 16 ? 1 : bits == 24 ? 2 : bits == 32 ? 3 : bits == 48 ? 4 : 5;
        *out = Copy(*session_->picture(index));
    }
    void Set(int id, int value) { ASSERT_EQ(Kelvox_SetFilterValue(handle_, id, value), 1) << id; }

    int camera_ = -1, handle_ = 0;
    kelvox::Session* session_ = nullptr;
};

// The adjustments after the colour picture exists, plainly.
void Adjust(ref::Picture& p, bool colour, int hue, int saturation, int gamma, int contrast, int sharpness,
            int brightness) {
    const bool wide = p.sixteen_bit();
    if (colour && (hue || saturation)) ref::HueSaturation(p, hue, saturation);
    if (gamma != 100) ref::ApplyTable(p, ref::GammaTable(gamma, wide));
    if (contrast) ref::ApplyTable(p, ref::ContrastTable(contrast, wide));
    if (sharpness) {
        const ref::Picture source = p;
        ref::Sharpen(source, p, sharpness);
    }
    if (brightness) ref::ApplyTable(p, ref::BrightnessTable(brightness, wide));
}

}  // namespace

TEST_P(ProcessingPipeline, ColourModesMatchThePlainSteps) {
    struct Case { int hue, saturation, gamma, contrast, sharpness, brightness; };
    const Case cases[] = {{0, 0, 100, 0, 0, 0}, {30, 40, 120, 20, 10, 20}, {-200, -100, 60, -30, 0, -40},
                          {0, 0, 150, 0, 7, -90}, {5, 0, 100, 0, 30, 0}};
    for (int bits : {24, 32, 48, 64}) {
        for (const Case& k : cases) {
            Set(3, k.hue);
            Set(4, k.saturation);
            Set(11, k.gamma);
            Set(2, k.contrast);
            Set(5, k.sharpness);
            Set(1, k.brightness);
            ref::Picture raw, out;
            Frame(bits, &raw, &out);
            ref::Picture expected(raw.width, raw.height, bits / 8);
            // The fourth component is never written: it stays as the prepared picture left it.
            for (int y = 0; y < out.height; ++y)
                for (int x = 0; x < out.width && bits % 32 == 0; ++x) expected.Set(y, x, 3, out.Get(y, x, 3));
            ref::Demosaic(raw, expected, 2, 100, 100);  // default Bayer mode 2, gains 100
            Adjust(expected, true, k.hue, k.saturation, k.gamma, k.contrast, k.sharpness, k.brightness);
            for (int y = 0; y < out.height; ++y)
                ASSERT_EQ(std::memcmp(&out.bytes[y * out.stride], &expected.bytes[y * out.stride],
                                      static_cast<size_t>(out.width) * out.bytes_per_pixel), 0)
                    << bits << " bits, row " << y << ", hue " << k.hue << " sharpness " << k.sharpness
                    << " brightness " << k.brightness;
        }
    }
}

TEST_P(ProcessingPipeline, GreyModesMatchThePlainSteps) {
    Set(20, 200);  // gray gain R1
    Set(25, 10);   // gray offset G1
    Set(11, 130);
    Set(5, 12);
    Set(1, 50);
    std::mt19937 random(5);
    for (int gray_mode : {1, 2}) {
        Set(19, gray_mode);
        for (int bits : {8, 16}) {
            ref::Picture ignored_raw, ignored_out;
            Frame(bits, &ignored_raw, &ignored_out);  // sizes the pictures
            // A raw picture of our own, processed again in place.
            kelvox::imaging::DibImage& raw = *session_->picture(bits == 8 ? kelvox::Session::kRaw8 : kelvox::Session::kRaw16);
            for (size_t i = 0; i < raw.size(); ++i) raw.pixels()[i] = static_cast<uint8_t>(random());
            ref::Picture expected = Copy(raw);
            session_->ProcessFrame();
            if (gray_mode == 1) {
                ref::GrayBalance balance;
                balance.gain[0] = 200;
                balance.offset[1] = 10;
                ref::ApplyGrayBalance(expected, 2, balance, bits == 8 ? 255 : 65535);
            } else if (bits == 8) {  // luminance of the colour picture; the 16-bit mode has none
                ref::Picture colour(expected.width, expected.height, 3);
                ref::Demosaic(expected, colour, 2, 100, 100);
                ref::LumaFromColour(colour, expected);
            }
            Adjust(expected, false, 0, 0, 130, 0, 12, 50);
            const ref::Picture out = Copy(raw);
            for (int y = 0; y < out.height; ++y)
                ASSERT_EQ(std::memcmp(&out.bytes[y * out.stride], &expected.bytes[y * out.stride],
                                      static_cast<size_t>(out.width) * out.bytes_per_pixel), 0)
                    << bits << " bits, gray mode " << gray_mode << ", row " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, ProcessingPipeline, ::testing::Values(1, 2, 7));
