// Compares a show file with the show it should be a copy of, through the C
// libraries alone (not through lumictl or the bridges): name, every header
// field, and every frame's start code, time code, channel count and bytes.
//
//   lumictl_compare_show controller N SHOW FILE.dmx   the show SHOW stored on
//                                                      controller N (from 1)
//   lumictl_compare_show files A.dmx B.dmx             two show files
//
// Exit status 0 when they are the same, 1 with the first difference on
// standard error, 2 when something cannot be read.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lumidrive.h"
#include "showtape.h"

namespace {

std::string narrow(const DevChar* text) {
    std::string s;
    for (std::size_t i = 0; i < DEV_TEXT_UNITS && text[i] != 0; ++i) {
        const auto unit = static_cast<unsigned>(text[i]);
        s += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return s;
}

std::vector<DevChar> wide(const std::string& s) {
    std::vector<DevChar> w(s.begin(), s.end());
    w.push_back(0);
    return w;
}

[[noreturn]] void cannot(const char* what, DevReturn r) {
    std::fprintf(stderr, "lumictl_compare_show: %s: %d\n", what, r);
    std::exit(2);
}

/// A source of frames: a stored show or a show file.
struct Source {
    virtual ~Source() = default;
    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    virtual DevReturn next(DMXFrame& frame) = 0;
    std::string name;
    ShowtapeHeader header{};
};

struct StoredShow final : Source {
    int32_t device = -1;
    ~StoredShow() override {
        if (device != -1) {
            closeFile(device);
            closeDevice(device);
        }
    }
    DevReturn next(DMXFrame& frame) override { return readFrame(device, &frame); }
};

struct FileShow final : Source {
    ShowtapeHandle handle{0, -1};
    ~FileShow() override {
        if (handle.fileHandle != -1) closeShowtape(&handle);
    }
    DevReturn next(DMXFrame& frame) override { return readDMXFrame(&handle, &frame); }
};

std::unique_ptr<Source> openStored(long number, const std::string& show) {
    DevEntry entry{};
    DevReturn r = getFirstDevice(&entry);
    for (long i = 1; r == DevSuccess && i < number; ++i) r = getNextDevice(&entry);
    if (r != DevSuccess) cannot("no such controller", r);
    auto s = std::make_unique<StoredShow>();
    r = openDevice(&s->device, &entry);
    if (r != DevSuccess) cannot("openDevice", r);
    const std::vector<DevChar> name = wide(show);
    r = openFile(s->device, name.data(), &s->header);
    if (r != DevSuccess) cannot("openFile", r);
    s->name = show;
    return s;
}

std::unique_ptr<Source> openShowFile(const char* path) {
    auto s = std::make_unique<FileShow>();
    DevChar name[DEV_TEXT_UNITS] = {};
    const DevReturn r = openShowtape(&s->handle, path, name, &s->header);
    if (r != DevSuccess) cannot(path, r);
    s->name = narrow(name);
    return s;
}

int differ(const std::string& what) {
    std::fprintf(stderr, "lumictl_compare_show: %s\n", what.c_str());
    return 1;
}

int compare(Source& a, Source& b) {
    if (a.name != b.name) return differ("names differ: '" + a.name + "' / '" + b.name + "'");
    const ShowtapeHeader& x = a.header;
    const ShowtapeHeader& y = b.header;
    if (x.constantFrameRate != y.constantFrameRate || x.loopShow != y.loopShow || x.date != y.date ||
        std::memcmp(&x.frameRate, &y.frameRate, sizeof x.frameRate) != 0 || x.numberChannels != y.numberChannels ||
        x.totalFrames != y.totalFrames || std::memcmp(x.commentField, y.commentField, sizeof x.commentField) != 0 ||
        std::memcmp(x.effectSignature, y.effectSignature, sizeof x.effectSignature) != 0)
        return differ("headers differ");
    std::vector<uint8_t> bufA(SHOWTAPE_MAX_CHANNELS);
    std::vector<uint8_t> bufB(SHOWTAPE_MAX_CHANNELS);
    for (long n = 1;; ++n) {
        DMXFrame fa{0, 0, 0, bufA.data()};
        DMXFrame fb{0, 0, 0, bufB.data()};
        const DevReturn ra = a.next(fa);
        const DevReturn rb = b.next(fb);
        if (ra != rb) return differ("frame " + std::to_string(n) + ": results " + std::to_string(ra) + " / " +
                                    std::to_string(rb));
        if (ra == DevNoMoreData) return 0;
        if (ra != DevSuccess) cannot("reading a frame", ra);
        if (fa.startCode != fb.startCode || fa.timeCode != fb.timeCode || fa.channelCount != fb.channelCount ||
            std::memcmp(bufA.data(), bufB.data(), static_cast<std::size_t>(fa.channelCount)) != 0)
            return differ("frame " + std::to_string(n) + " differs (channels " + std::to_string(fa.channelCount) +
                          " / " + std::to_string(fb.channelCount) + ")");
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<Source> a;
    std::unique_ptr<Source> b;
    if (argc == 5 && std::strcmp(argv[1], "controller") == 0) {
        a = openStored(std::strtol(argv[2], nullptr, 10), argv[3]);
        b = openShowFile(argv[4]);
    } else if (argc == 4 && std::strcmp(argv[1], "files") == 0) {
        a = openShowFile(argv[2]);
        b = openShowFile(argv[3]);
    } else {
        std::fprintf(stderr, "usage: lumictl_compare_show controller N SHOW FILE.dmx | files A.dmx B.dmx\n");
        return 2;
    }
    return compare(*a, *b);
}
