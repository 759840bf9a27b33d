// The automatic exposure measurement: five regions vote, and a picture within bounds asks for no
// change.
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/auto_exposure.h"
#include "imaging/dib_image.h"

namespace {

using kelvox::imaging::AutoExposureFactor;
using kelvox::imaging::DibImage;

// A 64 x 40 picture at one 8-bit level (16-bit samples carry it in their high byte).
void Flat(DibImage& image, int bits, int level8) {
    ASSERT_TRUE(image.Create(64, 40, bits));
    if (bits == 8) {
        std::memset(image.pixels(), level8, image.size());
    } else {
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<uint16_t*>(image.row(y));
            for (int x = 0; x < image.width(); ++x) row[x] = static_cast<uint16_t>(level8 << 8 | 0xFF);
        }
    }
}

TEST(AutoExposure, FlatPicturesAtEachThreshold) {
    struct Case {
        int level;
        double factor;
    };
    // Every region votes alike on a flat picture: 5 x (-0.15, -0.10, 0, +0.05, +0.10), and a
    // result strictly between 0.6 and 1.2 means "leave it".
    const Case cases[] = {{255, 0.25}, {201, 0.25}, {200, 0.5}, {161, 0.5}, {160, 1.0}, {100, 1.0},
                          {99, 1.25},  {50, 1.25},  {49, 1.5},  {0, 1.5}};
    for (int bits : {8, 16}) {
        for (const Case& c : cases) {
            DibImage image;
            Flat(image, bits, c.level);
            EXPECT_DOUBLE_EQ(AutoExposureFactor(image), c.factor) << bits << "-bit, level " << c.level;
        }
    }
}

TEST(AutoExposure, MixedVotesAndAnEmptyPicture) {
    // The centre region bright, the four corners dark: 4 x 0.10 - 0.15 = 1.25.
    DibImage image;
    Flat(image, 8, 20);
    for (int y = 18; y < 22; ++y) std::memset(image.row(y) + 28, 250, 8);
    EXPECT_DOUBLE_EQ(AutoExposureFactor(image), 1.25);
    DibImage empty;
    EXPECT_DOUBLE_EQ(AutoExposureFactor(empty), 1.0);
}

}  // namespace
