// The simulator's control API: C functions over camera ids.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>

#include "kelvox/kelvox_sim.h"
#include "sim_driver.h"

using kelvox::sim::SimDriver;

namespace {

// Reads no more than the caller's size: fields beyond it keep their defaults.
template <class T>
void CopySized(T* dst, const T* src) {
    const size_t n = std::min(sizeof(T), static_cast<size_t>(std::max(src->size, 0)));
    std::memcpy(dst, src, n);
    dst->size = sizeof(T);
}

kelvox::sim::Bus BusOf(int address, bool* ok) {
    using namespace kelvox::usb;
    *ok = address == kFpgaBusAddress || address == kSensorBusAddress || address == kEepromBusAddress;
    return static_cast<kelvox::sim::Bus>(address);
}

}  // namespace

KELVOX_API void KelvoxSim_DefaultCamera(KELVOX_SIM_CAMERA* cfg) {
    if (!cfg) return;
    std::memset(cfg, 0, sizeof *cfg);
    cfg->size = sizeof *cfg;
    cfg->vendor_id = 0x04B4;
    cfg->product_id = 0x3100;
    cfg->firmware_version = 0x1200;
    cfg->scene = KELVOX_SIM_SCENE_CHART;
    cfg->paced = 1;
    cfg->photometric = 1;
}

KELVOX_API int KelvoxSim_Attach(const KELVOX_SIM_CAMERA* cfg) {
    try {
        if (!cfg || cfg->size < static_cast<int>(sizeof(int))) return -1;
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        CopySized(&c, cfg);
        if (c.scene < KELVOX_SIM_SCENE_CHART || c.scene > KELVOX_SIM_SCENE_RAW || c.noise < 0 ||
            c.ready_after_polls < 0)
            return -1;
        kelvox::sim::CameraConfig config;
        config.vendor_id = c.vendor_id;
        config.product_id = c.product_id;
        config.serial.assign(c.serial, strnlen(c.serial, sizeof c.serial));
        config.srom_id = c.srom_id;
        config.firmware_version = c.firmware_version;
        config.ready_flag_mode = c.ready_flag_mode;
        config.ready_after_polls = c.ready_after_polls;
        config.scene = c.scene;
        config.scene_value = std::clamp(c.scene_value, 0, 4095);
        config.paced = c.paced != 0;
        config.noise = std::min(c.noise, 4095);
        config.stamp = c.stamp != 0;
        config.photometric = c.photometric != 0;
        return SimDriver::Instance().Attach(config);
    } catch (...) {
        return -1;
    }
}

KELVOX_API int KelvoxSim_Detach(int id) { return SimDriver::Instance().Detach(id) ? 1 : 0; }

KELVOX_API void KelvoxSim_DetachAll(void) { SimDriver::Instance().DetachAll(); }

KELVOX_API int KelvoxSim_InjectFault(int id, int fault, int count) {
    auto camera = SimDriver::Instance().Find(id);
    if (!camera || fault < KELVOX_SIM_FAULT_HEADER_READ || fault > KELVOX_SIM_FAULT_STALL || count < -1) return 0;
    camera->InjectFault(fault, count);
    return 1;
}

KELVOX_API int KelvoxSim_SetRawScene(int id, const unsigned short* samples12, int width, int height) {
    auto camera = SimDriver::Instance().Find(id);
    if (!camera || !samples12 || width != kelvox::sim::kSensorWidth || height != kelvox::sim::kSensorHeight) return 0;
    camera->SetRawScene(samples12);
    return 1;
}

KELVOX_API int KelvoxSim_Trigger(int id) {
    auto camera = SimDriver::Instance().Find(id);
    if (!camera) return 0;
    camera->Trigger();
    return 1;
}

KELVOX_API int KelvoxSim_PeekRegister(int id, int bus_address, unsigned reg, unsigned* value) {
    bool ok;
    const auto bus = BusOf(bus_address, &ok);
    auto camera = SimDriver::Instance().Find(id);
    unsigned v = 0;
    if (!ok || !camera || !camera->Peek(bus, reg, &v)) return 0;
    if (value) *value = v;
    return 1;
}

KELVOX_API int KelvoxSim_PokeRegister(int id, int bus_address, unsigned reg, unsigned value) {
    bool ok;
    const auto bus = BusOf(bus_address, &ok);
    auto camera = SimDriver::Instance().Find(id);
    return ok && camera && camera->Poke(bus, reg, value) ? 1 : 0;
}

KELVOX_API int KelvoxSim_GetFrameTimes(int id, KELVOX_SIM_FRAME_TIME* times, int count) {
    auto camera = SimDriver::Instance().Find(id);
    if (!camera || !times || count <= 0) return 0;
    kelvox::sim::FrameTime got[kelvox::sim::SimCamera::kFrameTimes];
    const int n = camera->FrameTimes(got, count);
    for (int i = 0; i < n; ++i) {
        times[i].frame = got[i].frame;
        times[i].finished_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(got[i].finished.time_since_epoch()).count();
    }
    return n;
}

KELVOX_API int KelvoxSim_GetStats(int id, KELVOX_SIM_STATS* stats) {
    auto camera = SimDriver::Instance().Find(id);
    if (!camera || !stats || stats->size < static_cast<int>(sizeof(int))) return 0;
    const kelvox::sim::CameraStats s = camera->stats();
    KELVOX_SIM_STATS full{};
    full.size = stats->size;
    full.frames_sent = s.frames_sent;
    full.headers_sent = s.headers_sent;
    full.arm_requests = s.arm_requests;
    full.control_requests = s.control_requests;
    full.i2c_writes = s.i2c_writes;
    full.i2c_reads = s.i2c_reads;
    full.pipe_aborts = s.pipe_aborts;
    full.pipe_resets = s.pipe_resets;
    full.port_resets = s.port_resets;
    full.receiver_restarts = s.receiver_restarts;
    full.frames_dropped = s.frames_dropped;
    std::memcpy(stats, &full, std::min(sizeof full, static_cast<size_t>(stats->size)));
    return 1;
}
