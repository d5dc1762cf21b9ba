#include "registry.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

#include "demo_shows.h"
#include "directory_store.h"
#include "memory_store.h"

namespace lumidrive {

namespace {

constexpr const char* kDirVariable = "LUMIDRIVE_SIM_DIR";
constexpr const char* kDescriptorFile = "controller.ini";
constexpr const char* kSimulatorFile = "simulator.ini";
constexpr const char* kStoreFolder = "shows";
constexpr const char* kTriggerFile = "triggers.txt";

void warn(const std::string& message) {
    std::fprintf(stderr, "Lumidrive simulator: %s\n", message.c_str());
}

bool readText(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) return false;
    out = buf.str();
    return true;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

Registry& Registry::instance() {
    static Registry* registry = new Registry();  // never destroyed: calls may come during exit
    return *registry;
}

void Registry::ensureLoaded() {
    if (loaded_) return;
    loaded_ = true;
    controllers_.clear();
    simulator_ = SimulatorConfig{};
    counters_ = FaultCounters{};
    nextDevice_ = SIZE_MAX;
    const char* dir = std::getenv(kDirVariable);
    if (dir && *dir)
        loadDirectory(dir);
    else
        loadBuiltIn();
}

void Registry::loadBuiltIn() {
    for (auto& b : builtInControllers()) {
        std::unique_ptr<ShowStore> store;
        if ((b.config.deviceClasses & DevClassPlayBackConfig) != 0) {
            auto mem = std::make_unique<MemoryStore>();
            addDemoShows(*mem, b.showNames);
            store = std::move(mem);
        }
        controllers_.push_back(std::make_shared<Controller>(std::move(b.config), std::move(store),
                                                            std::filesystem::path()));
    }
}

void Registry::loadDirectory(const std::string& dir) {
    const std::string simFile = dir + "/" + kSimulatorFile;
    if (isRegularFile(simFile)) {
        std::string text;
        std::string why;
        if (!readText(simFile, text)) {
            warn(simFile + ": cannot be read; no enumeration faults");
        } else if (!parseSimulatorIni(text, simulator_, why)) {
            warn(simFile + ": " + why + "; no enumeration faults");
        }
    }

    std::vector<std::string> folders;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            folders.emplace_back(e->d_name);
        }
        ::closedir(d);
    } else {
        warn(std::string(kDirVariable) + "=" + dir + ": the folder cannot be read; no controllers");
        return;
    }
    std::sort(folders.begin(), folders.end());

    for (const auto& name : folders) {
        const std::string folder = dir + "/" + name;
        const std::string descriptor = folder + "/" + kDescriptorFile;
        if (!isRegularFile(descriptor)) continue;  // not a controller folder
        std::string text;
        std::string why;
        ControllerConfig cfg;
        if (!readText(descriptor, text)) {
            warn(descriptor + ": cannot be read; controller skipped");
            continue;
        }
        if (!parseControllerIni(text, name, cfg, why)) {
            warn(descriptor + ": " + why + "; controller skipped");
            continue;
        }
        const auto same = std::find_if(controllers_.begin(), controllers_.end(), [&](const auto& c) {
            return c->config().deviceType == cfg.deviceType && c->config().deviceNumber == cfg.deviceNumber;
        });
        if (same != controllers_.end()) {
            warn(descriptor + ": type " + std::to_string(cfg.deviceType) + " number " +
                 std::to_string(cfg.deviceNumber) + " is already taken by folder '" +
                 (*same)->config().folderName + "'; controller skipped");
            continue;
        }
        cfg.folder = folder;
        std::unique_ptr<ShowStore> store;
        if ((cfg.deviceClasses & DevClassPlayBackConfig) != 0)
            store = std::make_unique<DirectoryStore>(std::filesystem::path(folder) / kStoreFolder);
        controllers_.push_back(std::make_shared<Controller>(
            std::move(cfg), std::move(store), std::filesystem::path(folder) / kTriggerFile));
    }
}

DevReturn Registry::getFirstDevice(DevEntry* entry) {
    std::lock_guard lock(mutex_);
    ensureLoaded();
    if (DevReturn r = counters_.count(Op::getFirstDevice, simulator_.faults)) return r;
    if (!entry) return DevInvalidArgument;
    nextDevice_ = 0;
    if (controllers_.empty()) return DevNoMoreData;
    controllers_[0]->fillEntry(*entry);
    nextDevice_ = 1;
    return DevSuccess;
}

DevReturn Registry::getNextDevice(DevEntry* entry) {
    std::lock_guard lock(mutex_);
    ensureLoaded();
    if (DevReturn r = counters_.count(Op::getNextDevice, simulator_.faults)) return r;
    if (!entry) return DevInvalidArgument;
    if (nextDevice_ >= controllers_.size()) return DevNoMoreData;
    controllers_[nextDevice_++]->fillEntry(*entry);
    return DevSuccess;
}

int32_t Registry::newHandle() {
    // Handles count up and are not reused, so a stale handle never reaches
    // a controller opened later. 0 and negative values (-1 above all) are
    // never handed out.
    do {
        lastHandle_ = lastHandle_ == std::numeric_limits<int32_t>::max() ? 1 : lastHandle_ + 1;
    } while (handles_.count(lastHandle_) != 0);
    return lastHandle_;
}

DevReturn Registry::openDevice(int32_t* handle, const DevEntry* entry) {
    if (!handle || !entry) return DevInvalidArgument;
    std::shared_ptr<Controller> c;
    int32_t h = 0;
    {
        std::lock_guard lock(mutex_);
        ensureLoaded();
        const auto it = std::find_if(controllers_.begin(), controllers_.end(), [&](const auto& x) {
            return x->config().deviceType == entry->deviceType &&
                   x->config().deviceNumber == entry->deviceNumber;
        });
        if (it == controllers_.end()) return DevDeviceNotFound;
        c = *it;
        if (DevReturn r = c->openCounters.count(Op::openDevice, c->config().faults)) return r;
        if (c->openHandle != 0) return DevDeviceBusy;
        if (DevReturn r = c->acquireProcessLock()) return r;
        h = newHandle();
        c->openHandle = h;
        handles_.emplace(h, c);
    }
    c->beginSession(h);
    *handle = h;
    return DevSuccess;
}

DevReturn Registry::closeDevice(int32_t handle) {
    const std::shared_ptr<Controller> c = find(handle);
    if (!c) return DevInvalidHandle;
    if (DevReturn r = c->close(handle)) return r;
    std::lock_guard lock(mutex_);
    handles_.erase(handle);
    if (c->openHandle == handle) {
        c->openHandle = 0;
        c->releaseProcessLock();
    }
    return DevSuccess;
}

std::shared_ptr<Controller> Registry::find(int32_t handle) {
    std::lock_guard lock(mutex_);
    const auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second;
}

void Registry::reset() {
    std::vector<std::shared_ptr<Controller>> old;
    {
        std::lock_guard lock(mutex_);
        old = std::move(controllers_);
        controllers_.clear();
        handles_.clear();
        loaded_ = false;
    }
    for (const auto& c : old) c->forceClose();
    std::lock_guard lock(mutex_);
    for (const auto& c : old) {
        c->openHandle = 0;
        c->releaseProcessLock();
    }
}

}  // namespace lumidrive
