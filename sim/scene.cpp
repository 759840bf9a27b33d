#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelvox::sim {

namespace {

// Bayer filter colour of a sensor position: 0 red, 1 green, 2 blue.
int FilterColour(int row, int column) {
    if ((row & 1) == 0) return (column & 1) == 0 ? 2 : 1;
    return (column & 1) == 0 ? 1 : 0;
}

struct Rgb {
    int r, g, b;
};

// Colour bars over two thirds of the height, then a gray ramp and a checkerboard.
Rgb ChartColour(int row, int column) {
    if (row < kSensorHeight * 2 / 3) {
        static constexpr Rgb kBars[8] = {{3071, 3071, 3071}, {3071, 3071, 0}, {0, 3071, 3071}, {0, 3071, 0},
                                         {3071, 0, 3071},    {3071, 0, 0},    {0, 0, 3071},    {0, 0, 0}};
        return kBars[column * 8 / kSensorWidth];
    }
    if (column < kSensorWidth / 2) {
        const int v = column * 4095 / (kSensorWidth / 2 - 1);
        return {v, v, v};
    }
    const int v = ((row / 32 + column / 32) & 1) ? 4095 : 0;
    return {v, v, v};
}

}  // namespace

Scene::Scene() : samples_(static_cast<size_t>(kSensorWidth) * kSensorHeight) { SetChart(); }

void Scene::SetChart() {
    for (int r = 0; r < kSensorHeight; ++r)
        for (int c = 0; c < kSensorWidth; ++c) {
            const Rgb rgb = ChartColour(r, c);
            const int colour = FilterColour(r, c);
            samples_[r * kSensorWidth + c] = static_cast<uint16_t>(colour == 0 ? rgb.r : colour == 1 ? rgb.g : rgb.b);
        }
}

void Scene::SetFlat(int value) {
    std::fill(samples_.begin(), samples_.end(), static_cast<uint16_t>(std::clamp(value, 0, 4095)));
}

void Scene::SetRamp() {
    for (int c = 0; c < kSensorWidth; ++c) samples_[c] = static_cast<uint16_t>(c * 4095 / (kSensorWidth - 1));
    for (int r = 1; r < kSensorHeight; ++r)
        std::memcpy(&samples_[r * kSensorWidth], samples_.data(), kSensorWidth * sizeof(uint16_t));
}

void Scene::SetRaw(const uint16_t* samples12) {
    for (size_t i = 0; i < samples_.size(); ++i) samples_[i] = std::min<uint16_t>(samples12[i], 4095);
}

void ReadOut(const Scene& scene, const ReadoutParams& p, uint8_t* out) {
    const SensorWindow& w = p.window;
    const int width = std::min(p.out_width, w.width);
    const int height = std::min(p.out_height, w.height);

    // Exposure and gain scale the light, clipped at full well; then the output depth.
    uint16_t level[4096];
    for (int v = 0; v < 4096; ++v)
        level[v] = static_cast<uint16_t>(std::min(4095.0, std::floor(v * p.brightness + 0.5)));

    std::vector<int> columns(static_cast<size_t>(std::max(width, 0)));
    for (int c = 0; c < width; ++c) columns[c] = w.SceneColumn(p.mirror_h ? w.width - 1 - c : c);

    uint32_t noise_state = p.noise_seed * 2654435761u + 0x9E3779B9u;
    const size_t row_bytes = static_cast<size_t>(p.out_width) * p.bytes_per_sample;
    for (int r = 0; r < p.out_height; ++r) {
        uint8_t* dst = out + r * row_bytes;
        if (r >= height) {
            std::memset(dst, 0, row_bytes);
            continue;
        }
        const uint16_t* src = scene.samples() + static_cast<size_t>(w.SceneRow(p.mirror_v ? w.height - 1 - r : r)) * kSensorWidth;
        for (int c = 0; c < width; ++c) {
            int v = level[src[columns[c]]];
            if (p.noise) {
                noise_state ^= noise_state << 13;
                noise_state ^= noise_state >> 17;
                noise_state ^= noise_state << 5;
                v = std::clamp(v + static_cast<int>(noise_state % (2u * p.noise + 1)) - p.noise, 0, 4095);
            }
            if (p.bytes_per_sample == 2) {
                const uint16_t s = static_cast<uint16_t>(v << 4);
                dst[2 * c] = static_cast<uint8_t>(s & 0xFF);
                dst[2 * c + 1] = static_cast<uint8_t>(s >> 8);
            } else {
                dst[c] = static_cast<uint8_t>(v >> 4);
            }
        }
        if (width < p.out_width) std::memset(dst + width * p.bytes_per_sample, 0, (p.out_width - width) * p.bytes_per_sample);
    }
}

}  // namespace kelvox::sim
