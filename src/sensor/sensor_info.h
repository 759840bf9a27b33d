#pragma once
// The sensor information record: 88 32-bit words (some pairs are 64-bit floats), copied whole to
// the device layer, so its order is part of the interface.
#include <cstddef>
#include <cstdint>

namespace kelvox::sensor {

// The minimum, maximum and default of a control.
struct ControlRange {
    int32_t min = 0, max = 0, default_value = 0;
};

struct SensorInfo {
    int32_t sensor_width, sensor_height;                          // 0-1
    int32_t default_x, default_y, default_width, default_height;  // 2-5
    int32_t window_h_settable, window_v_settable;                 // 6-7
    int32_t window_x, window_y, window_width, window_height;      // 8-11: as last requested
    int32_t line_total, frame_total;                              // 12-13
    int32_t readout_mode;                                         // 14
    int32_t reserved_15[2];
    int32_t gain_min, gain_max, gain_current, gain_default, gain_supported;                  // 17-21
    int32_t exposure_lines_min, exposure_lines_max, exposure_lines_current, exposure_lines_default,
        exposure_lines_supported;                                                            // 22-26
    int32_t color_gain_min, color_gain_max, reserved_29, color_gain_default;                 // 27-30
    int32_t other_controls_31[12];                                                           // 31-42
    int32_t exposure_time_min, exposure_time_max, exposure_time_current, exposure_time_default;  // 43-46: 100 us
    int32_t black_level_min, black_level_max, black_level_current, black_level_default, black_level_supported,
        reserved_52;                                                                          // 47-52
    int32_t control_b_supported, control_b_value, reserved_55;                              // 53-55
    int32_t control_c_min, control_c_max, control_c_current, control_c_default, control_c_supported;  // 56-60
    int32_t reserved_61;
    double precise_min, precise_max, precise_current, precise_default;  // 62-69: seconds
    int32_t precise_supported;                                          // 70
    int32_t reserved_71[7];
    int32_t mirror_v_current, mirror_v_default, mirror_v_supported;  // 78-80
    int32_t mirror_h_current, mirror_h_default, mirror_h_supported;  // 81-83
    int32_t data_bits, pixel_clock_khz;                              // 84-85
    int32_t orientation;                                             // 86: frame copy of the capture engine
    int32_t reserved_87;
};

static_assert(sizeof(SensorInfo) == 88 * 4);
static_assert(offsetof(SensorInfo, gain_min) == 17 * 4);
static_assert(offsetof(SensorInfo, exposure_time_min) == 43 * 4);
static_assert(offsetof(SensorInfo, black_level_min) == 47 * 4);
static_assert(offsetof(SensorInfo, control_b_supported) == 53 * 4);
static_assert(offsetof(SensorInfo, control_c_min) == 56 * 4);
static_assert(offsetof(SensorInfo, precise_min) == 62 * 4);
static_assert(offsetof(SensorInfo, precise_supported) == 70 * 4);
static_assert(offsetof(SensorInfo, mirror_v_current) == 78 * 4);
static_assert(offsetof(SensorInfo, orientation) == 86 * 4);

}  // namespace kelvox::sensor
