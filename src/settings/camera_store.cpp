#include "settings/camera_store.h"

#include <cstdio>
#include <cstring>

#include "platform/registry.h"

namespace kelvox::settings {

using platform::RegistryKey;

namespace {

std::string SizeKey(const std::string& camera_key, int preset) {
    char name[16];
    std::snprintf(name, sizeof name, "\\Size_%02d", preset);
    return camera_key + name;
}

// Creates the camera key and the group key below it.
bool CreateGroup(int camera, const char* group, RegistryKey* key) {
    return key->Create(CameraKey(camera) + "\\" + group);
}

// Straight into the field, as the registry fills a buffer: a shorter value replaces only its own
// bytes, a missing or longer one none.
void ReadInto(const RegistryKey& key, const char* name, int* field) { key.Query(name, field, 4); }

struct NamedField {
    const char* name;
    int FilterSettings::*field;
};
constexpr NamedField kFilterValues[] = {
    {"Brightness", &FilterSettings::brightness}, {"Contrast", &FilterSettings::contrast},
    {"Hue", &FilterSettings::hue},               {"Saturation", &FilterSettings::saturation},
    {"Sharpness", &FilterSettings::sharpness},   {"R_Gain", &FilterSettings::bayer_red},
    {"G_Gain", &FilterSettings::bayer_green},    {"B_Gain", &FilterSettings::bayer_blue},
    {"Gamma", &FilterSettings::gamma},           {"BayerMode", &FilterSettings::bayer_mode},
};
constexpr const char* kGrayGains[4] = {"GainR1", "GainG1", "GainG2", "GainB1"};
constexpr const char* kGrayOffsets[4] = {"OffsetR1", "OffsetG1", "OffsetG2", "OffsetB1"};

// The analog values read through one shared buffer, in this order.
constexpr const char* kAnalogNames[] = {"Global", "ColorG1", "ColorR",   "ColorB",   "ColorG2",
                                        "Exposure", "V_Mirror", "H_Mirror", "AutoIris", "GainMode"};
constexpr int CameraSettings::*kAnalogFields[] = {
    &CameraSettings::global_gain, &CameraSettings::gain_green1, &CameraSettings::gain_red,
    &CameraSettings::gain_blue,   &CameraSettings::gain_green2, &CameraSettings::exposure,
    &CameraSettings::mirror_v,    &CameraSettings::mirror_h,    &CameraSettings::auto_iris,
    &CameraSettings::gain_mode};

}  // namespace

std::string CameraKey(int camera) {
    char name[24];
    std::snprintf(name, sizeof name, "\\Camera_%02d", camera);
    return std::string(kRootKey) + name;
}

int LoadStreamGeometry(int camera, const FormatCapabilities& caps, CaptureWindow* window) {
    RegistryKey root;
    if (!root.Open(kRootKey)) {
        RegistryKey cam, size;
        if (!cam.Create(CameraKey(camera)) || !size.Create(SizeKey(CameraKey(camera), 0))) return 0;
        const CaptureWindow d;
        size.SetDword("TH", d.total_width);
        size.SetDword("TV", d.total_height);
        size.SetDword("EH", d.width);
        size.SetDword("EV", d.height);
        size.SetDword("EHS", d.x);
        size.SetDword("EVS", d.y);
        size.SetDword("Buf", d.buffers);
        int color = 2;
        if (!caps.colour24) color = caps.mono16 ? 1 : caps.mono8 ? 0 : 2;
        cam.SetDword("Size", 0);
        cam.SetDword("Color", color);
        cam.SetDword("SubSample", 0);
        cam.SetDword("WaitTime", 1);
        cam.SetDword("Clock", 0);
        return 0;
    }
    RegistryKey cam;
    int index;
    if (!cam.Open(CameraKey(camera)) || !cam.QueryDword("Size", &index)) return 0;
    RegistryKey size;
    if (index < 0 || index >= kMaxSizePresets || !size.Open(SizeKey(CameraKey(camera), index))) return 0;
    ReadInto(size, "TH", &window->total_width);
    ReadInto(size, "TV", &window->total_height);
    ReadInto(size, "EH", &window->width);
    ReadInto(size, "EV", &window->height);
    ReadInto(size, "EHS", &window->x);
    ReadInto(size, "EVS", &window->y);
    ReadInto(size, "Buf", &window->buffers);
    return 1;
}

int LoadStreamFormat(int camera, const FormatCapabilities& caps, StreamFormat* format) {
    RegistryKey cam;
    if (!cam.Open(CameraKey(camera))) return 0;
    int color = format->color;
    ReadInto(cam, "Color", &color);
    if (!caps.mono8 && (color == 0 || color == 3)) color = caps.mono16 ? 1 : 2;
    if (!caps.colour24 && color == 2) color = caps.mono16 ? 1 : 0;
    if (!caps.mono16 && color == 1) color = caps.colour24 ? 2 : 0;
    format->color = color;
    ReadInto(cam, "SubSample", &format->subsample);
    ReadInto(cam, "WaitTime", &format->wait_time);
    ReadInto(cam, "Clock", &format->clock);
    return 1;
}

int LoadAnalog(int camera, const AnalogDefaults& defaults, CameraSettings* analog) {
    RegistryKey gain;
    if (!gain.Open(CameraKey(camera) + "\\Gain")) {
        analog->global_gain = defaults.global_gain;
        analog->gain_green1 = analog->gain_red = analog->gain_blue = analog->gain_green2 = defaults.colour_gain;
        analog->exposure = defaults.exposure;
        analog->mirror_v = defaults.mirror_v;
        analog->mirror_h = defaults.mirror_h;
        analog->black_level = defaults.black_level;
        analog->auto_iris = 0;
        analog->gain_mode = 0;
        if (defaults.has_exposure_seconds) analog->exposure_seconds = defaults.exposure_seconds;
        return 1;
    }
    // One buffer for all: a missing value repeats the one before it, and a short value keeps the
    // upper bytes of the one before it.
    int32_t buffer = 0;
    for (size_t i = 0; i < std::size(kAnalogNames); ++i) {
        gain.Query(kAnalogNames[i], &buffer, 4);
        analog->*kAnalogFields[i] = buffer;
    }
    gain.Query("BlackLevel", &buffer, 4);
    analog->black_level = buffer;
    unsigned char seconds[8] = {};
    gain.Query("ExposureEx", seconds, 8);
    std::memcpy(&analog->exposure_seconds, seconds, 8);
    return 1;
}

int SaveAnalog(int camera, const CameraSettings& analog) {
    RegistryKey gain;
    if (!CreateGroup(camera, "Gain", &gain)) return 0;
    for (size_t i = 0; i < std::size(kAnalogNames); ++i) gain.SetDword(kAnalogNames[i], analog.*kAnalogFields[i]);
    gain.SetDword("BlackLevel", analog.black_level);
    gain.Set("ExposureEx", platform::RegistryType::kBinary, &analog.exposure_seconds, 8);
    return 1;
}

int LoadFilter(int camera, FilterSettings* filters) {
    RegistryKey key;
    if (!key.Open(CameraKey(camera) + "\\Filter")) {
        const FilterSettings d = FilterSettings::Defaults();
        for (const NamedField& v : kFilterValues) filters->*v.field = d.*v.field;
        filters->gray_calibration = filters->bayer_auto_once = filters->bayer_auto_once_companion = 0;
        return 0;
    }
    for (const NamedField& v : kFilterValues) ReadInto(key, v.name, &(filters->*v.field));
    return 1;
}

int SaveFilter(int camera, const FilterSettings& filters) {
    RegistryKey key;
    if (!CreateGroup(camera, "Filter", &key)) return 0;
    for (const NamedField& v : kFilterValues) key.SetDword(v.name, filters.*v.field);
    return 1;
}

int LoadGray(int camera, FilterSettings* filters) {
    RegistryKey key;
    if (!key.Open(CameraKey(camera) + "\\Gray")) {
        filters->gray_mode = 0;
        filters->gray_gain = {128, 128, 128, 128};
        filters->gray_offset = {128, 128, 128, 128};
        return 0;
    }
    ReadInto(key, "Mode", &filters->gray_mode);
    for (int p = 0; p < 4; ++p) ReadInto(key, kGrayGains[p], &filters->gray_gain[p]);
    for (int p = 0; p < 4; ++p) ReadInto(key, kGrayOffsets[p], &filters->gray_offset[p]);
    return 1;
}

int SaveGray(int camera, const FilterSettings& filters) {
    RegistryKey key;
    if (!CreateGroup(camera, "Gray", &key)) return 0;
    key.SetDword("Mode", filters.gray_mode);
    for (int p = 0; p < 4; ++p) key.SetDword(kGrayGains[p], filters.gray_gain[p]);
    for (int p = 0; p < 4; ++p) key.SetDword(kGrayOffsets[p], filters.gray_offset[p]);
    return 1;
}

std::vector<CaptureWindow> ReadSizePresets(const std::string& key) {
    std::vector<CaptureWindow> presets;
    for (int n = 0; n < kMaxSizePresets; ++n) {
        RegistryKey size;
        if (!size.Open(SizeKey(key, n))) break;
        // Values missing from a preset read as 0, as a zeroed table entry would.
        CaptureWindow w{0, 0, 0, 0, 0, 0, 0};
        ReadInto(size, "TH", &w.total_width);
        ReadInto(size, "TV", &w.total_height);
        ReadInto(size, "EH", &w.width);
        ReadInto(size, "EV", &w.height);
        ReadInto(size, "EHS", &w.x);
        ReadInto(size, "EVS", &w.y);
        ReadInto(size, "Buf", &w.buffers);
        presets.push_back(w);
    }
    return presets;
}

bool ReadStreamValues(int camera, int* size_index, StreamFormat* format) {
    RegistryKey root, cam;
    if (!root.Open(kRootKey) || !cam.Open(CameraKey(camera))) return false;
    ReadInto(cam, "Size", size_index);
    ReadInto(cam, "Color", &format->color);
    ReadInto(cam, "SubSample", &format->subsample);
    ReadInto(cam, "WaitTime", &format->wait_time);
    ReadInto(cam, "Clock", &format->clock);
    return true;
}

bool WriteStreamValues(int camera, const std::vector<CaptureWindow>& presets, int size_index,
                       const StreamFormat& format) {
    RegistryKey cam;
    if (!cam.Create(CameraKey(camera))) return false;
    bool ok = true;
    for (size_t n = 0; n < presets.size() && n < static_cast<size_t>(kMaxSizePresets); ++n) {
        RegistryKey size;
        const CaptureWindow& w = presets[n];
        ok = size.Create(SizeKey(CameraKey(camera), static_cast<int>(n))) && size.SetDword("TH", w.total_width) &&
             size.SetDword("TV", w.total_height) && size.SetDword("EH", w.width) && size.SetDword("EV", w.height) &&
             size.SetDword("EHS", w.x) && size.SetDword("EVS", w.y) && size.SetDword("Buf", w.buffers) && ok;
    }
    return cam.SetDword("Size", size_index) && cam.SetDword("Color", format.color) &&
           cam.SetDword("SubSample", format.subsample) && cam.SetDword("WaitTime", format.wait_time) &&
           cam.SetDword("Clock", format.clock) && ok;
}

}  // namespace kelvox::settings
