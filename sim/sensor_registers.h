#pragma once
// The IMX174 as the bus sees it: 65536 byte registers, some of which set the readout window,
// frame length, exposure, gain and mirroring.
#include <array>
#include <cstdint>

namespace kelvox::sim {

constexpr int kSensorWidth = 1920;
constexpr int kSensorHeight = 1200;
constexpr int kLineClocks = 720;           // pixel clocks per line
constexpr double kPixelClockHz = 74.25e6;
constexpr int kNominalExposureLines = 1244;  // exposure at which a scene shows at its given level

// What one frame reads out. With the window mode bits clear the whole array is read; width and
// height registers of exactly half the array then mean 2x2 Bayer subsampling (two of every four
// columns and rows, which keeps the colour phase).
struct SensorWindow {
    int x, y;            // first scene column and row, after undoing the far-edge encoding
    int width, height;   // output pixels
    int step_x, step_y;  // 1, or 2 when subsampled

    // Scene column of output column c (before mirroring); likewise rows.
    int SceneColumn(int c) const { return x + (step_x == 2 ? (c >> 1) * 4 + (c & 1) : c); }
    int SceneRow(int r) const { return y + (step_y == 2 ? (r >> 1) * 4 + (r & 1) : r); }
    bool operator==(const SensorWindow&) const = default;
};

class SensorRegisters {
public:
    SensorRegisters();  // power-up state: full window, 1254-line frames, 1244-line exposure, gain 0, no mirror

    uint8_t Read(uint16_t reg) const { return regs_[reg]; }
    void Write(uint16_t reg, uint8_t value) { regs_[reg] = value; }

    int FrameLength() const;    // lines; at least 1
    int ExposureLines() const;  // frame length minus exposure start line, at least 1
    int Gain() const;           // 0.1 dB steps
    bool MirrorV() const { return (regs_[0x0216] & 1) == 0; }
    bool MirrorH() const { return (regs_[0x0216] & 2) == 0; }
    // The window the readout covers, clipped to the array.
    SensorWindow Window() const;
    // Time from one frame to the next.
    double FramePeriodSeconds() const { return FrameLength() * kLineClocks / kPixelClockHz; }

private:
    int Word11(uint16_t low) const { return regs_[low] | (regs_[low + 1] & 0x07) << 8; }
    std::array<uint8_t, 65536> regs_{};
};

}  // namespace kelvox::sim
