// The driver back end of sim builds: the attached simulated cameras, their device-interface
// paths and handles, and DeviceIoControl routed to the camera a handle was opened on.
#include "sim_driver.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim_testing.h"

namespace kelvox::sim {

namespace {

constexpr platform::Guid kCameraInterfaceClass = {0x328184C5, 0x93E6, 0x49B7,
                                                  {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

bool SameGuid(const platform::Guid& a, const platform::Guid& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
           std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

bool SamePath(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)  // device paths are case-insensitive on Windows
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

SimOverlapped::~SimOverlapped() {
    std::shared_ptr<SimCamera> camera;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (done_) return;
        camera = camera_.lock();
    }
    if (camera) camera->ForgetOverlapped(this);
}

SimDriver& SimDriver::Instance() {
    static SimDriver* driver = [] {
        auto* d = new SimDriver;  // stays for threads still finishing at exit
        // KELVOX_SIM_CAMERAS=n plugs in n default cameras at first use, so a host that knows nothing
        // of the simulator (an SDK sample, a Python script) finds a camera.
        if (const char* text = std::getenv("KELVOX_SIM_CAMERAS")) {
            const int count = std::clamp(std::atoi(text), 0, 8);
            for (int i = 0; i < count; ++i) {
                CameraConfig config;
                config.serial = "SIM" + std::to_string(i + 1);
                d->Attach(config);
            }
        }
        return d;
    }();
    return *driver;
}

std::string SimDriver::DevicePath(const CameraConfig& config, int id) {
    const std::string instance = config.serial.empty() ? "sim" + std::to_string(id) : config.serial;
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "\\\\?\\usb#vid_%04x&pid_%04x#", config.vendor_id, config.product_id);
    return prefix + instance + "#{328184c5-93e6-49b7-94b8-2ada13aabb39}";
}

int SimDriver::Attach(const CameraConfig& config) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int id = next_id_;
    std::string path = DevicePath(config, id);
    // Windows names a device with a serial number by it: two at once would be one device path.
    for (auto& camera : cameras_)
        if (SamePath(camera->path(), path.c_str())) return -1;
    ++next_id_;
    cameras_.push_back(std::make_shared<SimCamera>(id, config, std::move(path)));
    return id;
}

bool SimDriver::Detach(int id) {
    std::shared_ptr<SimCamera> camera;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = cameras_.begin(); it != cameras_.end(); ++it)
            if ((*it)->id() == id) {
                camera = *it;
                cameras_.erase(it);
                break;
            }
    }
    if (!camera) return false;
    camera->Detach();  // open handles keep the object, but every request on them now fails
    return true;
}

void SimDriver::DetachAll() {
    std::vector<std::shared_ptr<SimCamera>> all;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        all.swap(cameras_);
    }
    for (auto& camera : all) camera->Detach();
}

std::shared_ptr<SimCamera> SimDriver::Find(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& camera : cameras_)
        if (camera->id() == id) return camera;
    return nullptr;
}

std::shared_ptr<SimCamera> SimDriver::CameraOf(platform::DeviceHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second;
}

bool SimDriver::EnumerateInterfaces(const platform::Guid& interface_class, uint32_t max_members,
                                    std::vector<std::string>* paths) {
    paths->clear();
    if (!SameGuid(interface_class, kCameraInterfaceClass)) return true;  // an empty set
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& camera : cameras_) {
        if (paths->size() >= max_members) break;
        paths->push_back(camera->path());
    }
    return true;
}

platform::DeviceHandle SimDriver::Open(const char* path, bool /*overlapped*/, uint32_t* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path)
        for (auto& camera : cameras_) {
            if (!SamePath(camera->path(), path)) continue;
            if (camera->TakeOpenFault()) {
                *error = platform::kErrorAccessDenied;  // held by another program
                return -1;
            }
            const platform::DeviceHandle handle = next_handle_;
            next_handle_ += 4;
            handles_.emplace(handle, camera);
            return handle;
        }
    *error = platform::kErrorFileNotFound;
    return -1;
}

void SimDriver::Close(platform::DeviceHandle handle) {
    std::shared_ptr<SimCamera> camera;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = handles_.find(handle);
        if (it == handles_.end()) return;
        camera = std::move(it->second);
        handles_.erase(it);
    }
    camera->CancelHandle(handle);  // closing the last handle cancels its requests
}

std::unique_ptr<platform::Overlapped> SimDriver::CreateOverlapped() { return std::make_unique<SimOverlapped>(); }

bool SimDriver::IoControl(platform::DeviceHandle handle, uint32_t code, void* in, uint32_t in_size, void* out,
                          uint32_t out_size, uint32_t* bytes_returned, platform::Overlapped* overlapped,
                          uint32_t* error) {
    uint32_t ignored = 0;
    if (!bytes_returned) bytes_returned = &ignored;
    *bytes_returned = 0;
    auto camera = CameraOf(handle);
    if (!camera) {
        *error = platform::kErrorInvalidHandle;
        return false;
    }
    auto* ov = static_cast<SimOverlapped*>(overlapped);
    if (ov) ov->set_camera(camera);
    return camera->IoControl(handle, code, in, in_size, out, out_size, bytes_returned, ov, error);
}

bool SimDriver::GetOverlappedResult(platform::DeviceHandle /*handle*/, platform::Overlapped* overlapped, uint32_t* bytes,
                                    bool wait, uint32_t* error) {
    if (!overlapped) {
        *error = platform::kErrorInvalidParameter;
        return false;
    }
    return static_cast<SimOverlapped*>(overlapped)->Result(wait, bytes, error);
}

bool SimDriver::CancelIo(platform::DeviceHandle handle) {
    auto camera = CameraOf(handle);
    if (!camera) return false;
    camera->CancelHandle(handle);
    return true;
}

bool WaitForPendingRead(int camera_id, uint32_t timeout_ms) {
    const auto camera = SimDriver::Instance().Find(camera_id);
    return camera && camera->WaitForPendingRead(std::chrono::milliseconds(timeout_ms));
}

}  // namespace kelvox::sim

namespace kelvox::platform {
Driver& ActiveDriver() { return sim::SimDriver::Instance(); }
}  // namespace kelvox::platform
