#pragma once
// What the camera looks at, as 12-bit samples on the full sensor array seen through its Bayer
// filter (blue at row 0, column 0), and how a frame of it is read out.
#include <cstdint>
#include <vector>

#include "sensor_registers.h"

namespace kelvox::sim {

enum SceneKind { kSceneChart = 0, kSceneFlat = 1, kSceneRamp = 2, kSceneRaw = 3 };

class Scene {
public:
    Scene();
    void SetChart();
    void SetFlat(int value);
    void SetRamp();
    void SetRaw(const uint16_t* samples12);  // kSensorWidth x kSensorHeight values

    const uint16_t* samples() const { return samples_.data(); }
    uint16_t At(int row, int column) const { return samples_[row * kSensorWidth + column]; }

private:
    std::vector<uint16_t> samples_;
};

struct ReadoutParams {
    SensorWindow window;
    bool mirror_v = false;
    bool mirror_h = false;
    double brightness = 1.0;  // exposure and gain factor; 1.0 shows the scene as given
    int out_width = 0;        // the FPGA's frame geometry: samples beyond the window are 0
    int out_height = 0;
    int bytes_per_sample = 1;  // 1: top 8 bits; 2: little-endian, MSB-aligned
    int noise = 0;             // amplitude in 12-bit units
    uint32_t noise_seed = 0;
};

// Writes out_width x out_height samples, row 0 first. Column and value tables are per call, the
// pixel loop is a plain gather, so a full frame takes a few milliseconds.
void ReadOut(const Scene& scene, const ReadoutParams& params, uint8_t* out);

}  // namespace kelvox::sim
