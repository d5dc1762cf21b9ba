// Helpers for the controller simulator's tests: temporary simulator folders,
// UTF-16 names, headers and frames, and small wrappers over the C interface.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "lumidrive.h"
#include "lumidrive_sim.h"

namespace simtest {

namespace fs = std::filesystem;

/// A fresh temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

/// A LUMIDRIVE_SIM_DIR under construction: folders with descriptors.
class SimDir {
public:
    /// The folder LUMIDRIVE_SIM_DIR names: a sub-folder of a temporary
    /// folder, so tests can watch a sibling outside it.
    SimDir();
    const fs::path& root() const { return root_; }
    const fs::path& outside() const { return temp_.path(); }

    /// Writes `<folder>/controller.ini` with `ini` and returns the folder.
    fs::path addController(const std::string& folder, const std::string& ini);
    /// The shows/ folder of a controller folder.
    fs::path shows(const std::string& folder) const { return root_ / folder / "shows"; }
    /// Writes simulator.ini.
    void setSimulatorIni(const std::string& text);

    /// Points the simulator at this folder and makes it read it again.
    void use() const;

private:
    TempDir temp_;
    fs::path root_;
};

/// Makes the simulator use its built-in controllers again.
void useBuiltIn();

/// A minimal usable descriptor: identity plus extra lines.
std::string descriptor(int type, int number, const std::string& extra = "");

/// Zero-terminated UTF-16 from UTF-8 test text.
std::u16string u16(const std::string& utf8);

/// A show header with every field set; text fields zero-filled.
ShowtapeHeader makeHeader(int32_t channels, int32_t frames, const std::u16string& comment = u"test show");

/// A deterministic set of frames: channel counts cycle through `counts`;
/// byte values depend on `seed`, the frame and the channel.
struct FrameSet {
    std::vector<std::vector<uint8_t>> data;
    std::vector<DMXFrame> frames;  ///< point into data; do not copy a FrameSet
    FrameSet(int n, std::vector<int32_t> counts, int seed);
    FrameSet(const FrameSet&) = delete;
    FrameSet& operator=(const FrameSet&) = delete;
    int64_t showSize() const;  ///< the size the simulator counts for a show with these frames
};

/// Show size as the simulator counts it: 1578 + 17 + sum(21 + channels).
int64_t showSize(const std::vector<int32_t>& channelCounts);

/// Finds a device by type and number through the enumeration.
bool findDevice(int32_t type, int32_t number, DevEntry& out);
/// Opens type/number with an entry holding nothing else; fails the test on error.
int32_t openOrFail(int32_t type, int32_t number);

/// Every entry of a folder's listing ("." for the root), by name.
struct Listed {
    int64_t size;
    int64_t lastModified;
    bool isDirectory;
    bool operator==(const Listed&) const = default;
};
std::map<std::u16string, Listed> listAll(int32_t h, const std::u16string& folder = u".");

/// Uploads a show in batches of `batch` frames; returns the first nonzero
/// code (closeFile is called in any case once createFile succeeded).
DevReturn upload(int32_t h, const std::u16string& name, const ShowtapeHeader& header,
                 const std::vector<DMXFrame>& frames, bool overwrite = false, int batch = 7);

/// A show read back: header and frames.
struct ReadShow {
    ShowtapeHeader header{};
    std::vector<int32_t> startCodes, timeCodes;
    std::vector<std::vector<uint8_t>> data;
};
/// Reads a whole show: openFile, readFrame until 2, closeFile. Returns the
/// first code other than 0 and the final 2.
DevReturn readBack(int32_t h, const std::u16string& name, ReadShow& out);

/// Every file below `dir`, relative path -> content (symlinks as "-> target").
std::map<std::string, std::string> snapshot(const fs::path& dir);

std::string readFile(const fs::path& p);
void writeFile(const fs::path& p, const std::string& content);

/// Fills a 256-unit text field.
void setField(DevChar (&field)[DEV_TEXT_UNITS], const std::u16string& text);

}  // namespace simtest
