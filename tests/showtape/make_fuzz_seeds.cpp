// Writes the seed corpus of the reader's fuzz target through the library:
// a few small shows, whole and damaged. Usage: make_fuzz_seeds SEEDS WORK
// (both folders are emptied first; WORK is where the fuzzer adds its finds).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "showtape.h"

namespace fs = std::filesystem;

namespace {

bool writeShow(const fs::path& path, const std::vector<std::vector<std::uint8_t>>& frames) {
    ShowtapeHeader header{};
    header.constantFrameRate = 1;
    header.frameRate = 30.0;
    header.numberChannels = 512;
    header.totalFrames = static_cast<std::int32_t>(frames.size());
    header.commentField[0] = u'c';
    const std::u16string name = u"seed";
    ShowtapeHandle handle{};
    if (createShowtape(&handle, path.c_str(), name.c_str(), &header, 1, 1) != DevSuccess) return false;
    std::int32_t time = 0;
    for (std::vector<std::uint8_t> data : frames) {
        DMXFrame frame{static_cast<std::int32_t>(data.size()), 0, time++, data.data()};
        if (writeDMXFrame(&handle, &frame) != DevSuccess) return false;
    }
    return closeShowtape(&handle) == DevSuccess;
}

std::vector<char> bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void store(const fs::path& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SEEDS WORK\n", argv[0]);
        return 2;
    }
    const fs::path seeds = argv[1];
    const fs::path work = argv[2];
    for (const fs::path& dir : {seeds, work}) {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    const bool ok = writeShow(seeds / "empty.dmx", {}) &&
                    writeShow(seeds / "small.dmx", {{}, {1, 2, 3}, {255, 0, 255, 0, 7}}) &&
                    writeShow(seeds / "large.dmx", {std::vector<std::uint8_t>(2048, 0x80), {9}});
    if (!ok) {
        std::fprintf(stderr, "could not write the seed shows\n");
        return 1;
    }
    // A largest frame followed by spare bytes: one changed byte in its count
    // makes a frame that claims more than any reader's buffer holds.
    std::vector<char> large = bytesOf(seeds / "large.dmx");
    large.resize(large.size() + 1024, '\x5a');
    store(seeds / "large-padded.dmx", large);
    std::vector<char> small = bytesOf(seeds / "small.dmx");
    store(seeds / "small-cut.dmx", {small.begin(), small.end() - 9});
    small[small.size() - 30] ^= 0x20;
    store(seeds / "small-flipped.dmx", small);
    return 0;
}
