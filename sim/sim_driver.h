#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/driver.h"
#include "sim_camera.h"

namespace kelvox::sim {

class SimDriver final : public platform::Driver {
public:
    static SimDriver& Instance();

    int Attach(const CameraConfig& config);
    bool Detach(int id);
    void DetachAll();
    std::shared_ptr<SimCamera> Find(int id);
    static std::string DevicePath(const CameraConfig& config, int id);

    bool EnumerateInterfaces(const platform::Guid& interface_class, uint32_t max_members,
                             std::vector<std::string>* paths) override;
    platform::DeviceHandle Open(const char* path, bool overlapped, uint32_t* error) override;
    void Close(platform::DeviceHandle handle) override;
    std::unique_ptr<platform::Overlapped> CreateOverlapped() override;
    bool IoControl(platform::DeviceHandle handle, uint32_t code, void* in, uint32_t in_size, void* out,
                   uint32_t out_size, uint32_t* bytes_returned, platform::Overlapped* overlapped,
                   uint32_t* error) override;
    bool GetOverlappedResult(platform::DeviceHandle handle, platform::Overlapped* overlapped, uint32_t* bytes,
                             bool wait, uint32_t* error) override;
    bool CancelIo(platform::DeviceHandle handle) override;

private:
    std::shared_ptr<SimCamera> CameraOf(platform::DeviceHandle handle);

    std::mutex mutex_;
    std::vector<std::shared_ptr<SimCamera>> cameras_;  // attached, in order of attachment
    std::map<platform::DeviceHandle, std::shared_ptr<SimCamera>> handles_;
    platform::DeviceHandle next_handle_ = 0x104;
    int next_id_ = 0;
};

}  // namespace kelvox::sim
