// Controller descriptors (controller.ini), process-wide settings
// (simulator.ini) and the fault rules both can carry.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "devtypes.h"

namespace lumidrive {

/// Every library operation a fault rule can name.
enum class Op : int {
    getFirstDevice,
    getNextDevice,
    openDevice,
    closeDevice,
    getDeviceInfo,
    getDeviceState,
    startLivePlay,
    sendFrame,
    stopLivePlay,
    createFile,
    writeFrames,
    closeFile,
    createTestFile,
    writeTestFrames,
    closeTestFile,
    getFreeSpace,
    getFirstFile,
    getNextFile,
    deleteFile,
    openFile,
    readFrame,
    startPlayback,
    stopPlayback,
    createTriggers,
    setTrigger,
    getTriggerHeader,
    setTriggerHeader,
    closeTriggers,
    getFirstTrigger,
    getNextTrigger,
    count_
};
inline constexpr std::size_t kOpCount = static_cast<std::size_t>(Op::count_);

/// `fault = <operation> <code> [from N | at N]`: the operation returns `code`
/// on every call from the Nth on (`from`, the default with N = 1) or on the
/// Nth call only (`at`). Calls are counted from 1.
struct FaultRule {
    Op op = Op::openDevice;
    DevReturn code = DevError;
    int64_t firstCall = 1;
    bool onlyThatCall = false;
};

/// Call counters per operation, checked against a list of rules.
class FaultCounters {
public:
    /// Counts one call of `op` and returns the code of the first rule that
    /// fails it, or DevSuccess.
    DevReturn count(Op op, const std::vector<FaultRule>& rules);
    void reset(Op op) { calls_[static_cast<std::size_t>(op)] = 0; }
    void resetAllBut(Op keep);

private:
    std::array<int64_t, kOpCount> calls_{};
};

/// Everything a controller.ini says, with defaults for what it leaves out.
struct ControllerConfig {
    std::string folderName;          ///< its folder under LUMIDRIVE_SIM_DIR ("" when built in)
    std::filesystem::path folder;    ///< that folder's path ("" when built in)
    std::u16string name;
    std::u16string port;
    int32_t deviceType = 0;
    int32_t deviceNumber = 0;
    int32_t deviceClasses = 0x07;    ///< live play, playback control, playback config
    std::u16string revision = u"1.0";
    int32_t numberLivePlayChannels = 512;
    int32_t numberPlaybackChannels = 512;
    int32_t numberPlaybackTriggers = 16;
    int64_t totalSpace = 16 * 1024 * 1024;
    int32_t maxNumberShows = 64;
    double minFrameRate = 1.0;
    bool canPlaybackCompress = false;
    bool canListFiles = true;
    bool canReadFiles = true;
    bool hasTriggerHeader = true;
    std::vector<FaultRule> faults;
};

/// What simulator.ini says: faults of the device enumeration.
struct SimulatorConfig {
    std::vector<FaultRule> faults;
};

/// Parses the text of a controller.ini. `folderName` gives the defaults of
/// name and port. Returns false with a one-line reason in `error`.
bool parseControllerIni(std::string_view text, const std::string& folderName,
                        ControllerConfig& out, std::string& error);

/// Parses the text of a simulator.ini. Returns false with a reason in `error`.
bool parseSimulatorIni(std::string_view text, SimulatorConfig& out, std::string& error);

/// The operation's name as written in fault rules.
const char* opName(Op op);

}  // namespace lumidrive
