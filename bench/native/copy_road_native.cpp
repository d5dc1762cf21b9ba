// The copy road without Java: a show stored on a controller goes frame by
// frame (readFrame into one DMXFrame with a 512-byte buffer, then
// writeDMXFrame) into a show file, as the Showsaver window copies it. Beside
// lumictl's road through the two bridges it shows how much of the time the
// libraries take. Also writes the source shows of the copy benchmark.
//
//   lumivex_bench_copy make OUT.dmx SECONDS   a show of SECONDS s of 512-channel frames at 44 frames/s
//   lumivex_bench_copy copy SHOW OUT.dmx      copy SHOW from the first controller that stores shows
//
// `copy` prints one line of key=value pairs like CopyRoadBench.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "lumidrive.h"
#include "showtape.h"

namespace {

constexpr int kChannels = 512;
constexpr double kRate = 44.0;

[[noreturn]] void failed(const char* what, DevReturn r) {
    std::fprintf(stderr, "lumivex_bench_copy: %s: %d\n", what, r);
    std::exit(1);
}

std::vector<DevChar> wide(const std::string& s) {
    std::vector<DevChar> w(s.begin(), s.end());
    w.push_back(0);
    return w;
}

long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

double since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

int make(const char* path, long seconds) {
    ShowtapeHeader header{};
    header.constantFrameRate = 1;
    header.loopShow = 1;
    header.date = 1709323200;
    const char comment[] = "benchmark show";
    for (std::size_t i = 0; i + 1 < sizeof comment; ++i) header.commentField[i] = static_cast<DevChar>(comment[i]);
    header.frameRate = kRate;
    header.numberChannels = kChannels;
    const long frames = seconds * static_cast<long>(kRate);
    header.totalFrames = static_cast<int32_t>(frames);
    const std::vector<DevChar> name = wide("Benchmark");
    ShowtapeHandle h{};
    DevReturn r = createShowtape(&h, path, name.data(), &header, 0, 1);
    if (r != DevSuccess) failed("createShowtape", r);
    std::vector<uint8_t> data(kChannels);
    for (long i = 0; i < frames; ++i) {
        for (int c = 0; c < kChannels; ++c) data[static_cast<std::size_t>(c)] = static_cast<uint8_t>((i + c * 3) & 0xFF);
        DMXFrame f{kChannels, 0, static_cast<int32_t>(static_cast<double>(i) * 1000.0 / kRate + 0.5), data.data()};
        r = writeDMXFrame(&h, &f);
        if (r != DevSuccess) failed("writeDMXFrame", r);
    }
    r = closeShowtape(&h);
    if (r != DevSuccess) failed("closeShowtape", r);
    return 0;
}

int copy(const char* show, const char* out) {
    DevEntry entry{};
    DevReturn r = getFirstDevice(&entry);
    while (r == DevSuccess && !supportsPlayBackConfig(entry.deviceClasses)) r = getNextDevice(&entry);
    if (r != DevSuccess) failed("no controller that stores shows", r);
    int32_t device = -1;
    r = openDevice(&device, &entry);
    if (r != DevSuccess) failed("openDevice", r);

    const auto start = std::chrono::steady_clock::now();
    ShowtapeHeader header{};
    const std::vector<DevChar> name = wide(show);
    r = openFile(device, name.data(), &header);
    if (r != DevSuccess) failed("openFile", r);
    ShowtapeHandle file{};
    r = createShowtape(&file, out, name.data(), &header, 1, 1);
    if (r != DevSuccess) failed("createShowtape", r);
    uint8_t buffer[kChannels];
    DMXFrame frame{0, 0, 0, buffer};
    long frames = 0;
    const auto loopStart = std::chrono::steady_clock::now();
    while ((r = readFrame(device, &frame)) == DevSuccess) {
        r = writeDMXFrame(&file, &frame);
        if (r != DevSuccess) failed("writeDMXFrame", r);
        ++frames;
    }
    if (r != DevNoMoreData) failed("readFrame", r);
    const double loop = since(loopStart);
    r = closeFile(device);
    if (r != DevSuccess) failed("closeFile", r);
    r = closeShowtape(&file);
    if (r != DevSuccess) failed("closeShowtape", r);
    const double total = since(start);
    closeDevice(device);

    struct stat st {};
    const double bytes = stat(out, &st) == 0 ? static_cast<double>(st.st_size) : -1.0;
    std::printf("frames=%ld bytes=%.0f loop_s=%.3f total_s=%.3f loop_fps=%.0f loop_MBps=%.1f total_fps=%.0f "
                "total_MBps=%.1f vmhwm_kB=%ld\n",
                frames, bytes, loop, total, static_cast<double>(frames) / loop, bytes / loop / 1e6,
                static_cast<double>(frames) / total, bytes / total / 1e6, statusKb("VmHWM"));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "make") == 0) return make(argv[2], std::strtol(argv[3], nullptr, 10));
    if (argc == 4 && std::strcmp(argv[1], "copy") == 0) return copy(argv[2], argv[3]);
    std::fprintf(stderr, "usage: lumivex_bench_copy make OUT.dmx SECONDS | copy SHOW OUT.dmx\n");
    return 2;
}
