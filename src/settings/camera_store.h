#pragma once
// Each camera's stored settings in the current user's registry: the stream format with its size
// presets, the analog settings, the image-filter values and the grey-mode gains and offsets, one
// key per camera number. Failures are silent: a missing key or value selects the documented
// defaults, and a write that fails leaves what was stored.
#include <string>
#include <vector>

#include "settings/records.h"

namespace kelvox::settings {

inline constexpr const char* kRootKey = "Software\\Quorin\\DizoruDu403Z5Avo";
inline constexpr int kMaxSizePresets = 100;

// "<root>\Camera_NN".
std::string CameraKey(int camera);

// What the camera can deliver, for choosing and correcting the output format.
struct FormatCapabilities {
    bool mono8 = true, mono16 = false, colour24 = true;
};

// The stream values directly under the camera key.
struct StreamFormat {
    int color = 2;  // output format index 0-5
    int subsample = 0;
    int wait_time = 1;
    int clock = 0;
};

// Creates the first-run defaults when the root key is missing (result 0, `window` unchanged);
// otherwise reads the selected preset into `window` (result 1; 0 when there is none).
int LoadStreamGeometry(int camera, const FormatCapabilities& caps, CaptureWindow* window);
// "Color" (corrected by the capabilities), "SubSample", "WaitTime", "Clock"; a missing value
// leaves its field. Result 0 when the camera key is missing.
int LoadStreamFormat(int camera, const FormatCapabilities& caps, StreamFormat* format);

// The device's own defaults, taken when no analog settings are stored.
struct AnalogDefaults {
    int global_gain = 0, colour_gain = 0, exposure = 0, mirror_v = 0, mirror_h = 0, black_level = 0;
    bool has_exposure_seconds = false;
    double exposure_seconds = 0;
};
int LoadAnalog(int camera, const AnalogDefaults& defaults, CameraSettings* analog);
int SaveAnalog(int camera, const CameraSettings& analog);
// The ten filter values; a missing key resets them and the unstored one-shot fields (result 0).
int LoadFilter(int camera, FilterSettings* filters);
int SaveFilter(int camera, const FilterSettings& filters);
// The grey mode, gains and offsets; a missing key resets them (result 0).
int LoadGray(int camera, FilterSettings* filters);
int SaveGray(int camera, const FilterSettings& filters);

// The presets "Size_00", "Size_01", ... under `key`, up to the first missing one.
std::vector<CaptureWindow> ReadSizePresets(const std::string& key);

// The camera dialog's view of the stream values: read as stored (a missing value leaves its
// field; false without the camera key), and written with the presets numbered from 0.
bool ReadStreamValues(int camera, int* size_index, StreamFormat* format);
bool WriteStreamValues(int camera, const std::vector<CaptureWindow>& presets, int size_index,
                       const StreamFormat& format);

}  // namespace kelvox::settings
