// The process-wide registry of simulated controllers: loads the
// configuration, enumerates devices, hands out and looks up handles.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "config.h"
#include "controller.h"

namespace lumidrive {

class Registry {
public:
    static Registry& instance();

    DevReturn getFirstDevice(DevEntry* entry);
    DevReturn getNextDevice(DevEntry* entry);
    DevReturn openDevice(int32_t* handle, const DevEntry* entry);
    DevReturn closeDevice(int32_t handle);
    /// The controller open under `handle`, or null.
    std::shared_ptr<Controller> find(int32_t handle);
    void reset();

private:
    void ensureLoaded();  // with mutex_ held
    void loadDirectory(const std::string& dir);
    void loadBuiltIn();
    int32_t newHandle();

    std::mutex mutex_;
    bool loaded_ = false;
    std::vector<std::shared_ptr<Controller>> controllers_;
    SimulatorConfig simulator_;
    FaultCounters counters_;
    std::size_t nextDevice_ = SIZE_MAX;  // enumeration position; SIZE_MAX before getFirstDevice
    std::unordered_map<int32_t, std::shared_ptr<Controller>> handles_;
    int32_t lastHandle_ = 0;
};

}  // namespace lumidrive
