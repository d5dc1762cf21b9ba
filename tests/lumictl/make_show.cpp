// Writes a show file for the lumictl tests straight through the show-file
// library, so the tests have data that lumictl itself did not produce.
//
//   lumictl_make_show OUT.dmx --frames N [--channels C] [--rate R]
//       [--not-constant] [--start-code-every K=CODE] [--name NAME] [--seed S]
//
// Frame i has time code round(i * 1000 / R) ms and channel values that depend
// on i, the channel and the seed; with --start-code-every, every K-th frame
// (frames K, 2K, ... counted from 1) has start code CODE, the others 0.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "showtape.h"

namespace {

[[noreturn]] void usage(const char* why) {
    std::fprintf(stderr, "lumictl_make_show: %s\n", why);
    std::exit(2);
}

long number(const char* text) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0') usage("not a number");
    return v;
}

void setText(DevChar (&field)[DEV_TEXT_UNITS], const std::string& ascii) {
    std::memset(field, 0, sizeof field);
    for (std::size_t i = 0; i < ascii.size() && i + 1 < DEV_TEXT_UNITS; ++i)
        field[i] = static_cast<DevChar>(static_cast<unsigned char>(ascii[i]));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) usage("usage: lumictl_make_show OUT.dmx --frames N [options]");
    const char* out = argv[1];
    long frames = -1;
    long channels = 512;
    double rate = 40;
    bool constant = true;
    long every = 0;
    long code = 0;
    long seed = 0;
    std::string name = "Test show";
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--frames" && hasValue) {
            frames = number(argv[++i]);
        } else if (arg == "--channels" && hasValue) {
            channels = number(argv[++i]);
        } else if (arg == "--rate" && hasValue) {
            rate = std::strtod(argv[++i], nullptr);
        } else if (arg == "--not-constant") {
            constant = false;
        } else if (arg == "--start-code-every" && hasValue) {
            const std::string v = argv[++i];
            const std::size_t eq = v.find('=');
            if (eq == std::string::npos) usage("--start-code-every K=CODE");
            every = number(v.substr(0, eq).c_str());
            code = number(v.substr(eq + 1).c_str());
        } else if (arg == "--name" && hasValue) {
            name = argv[++i];
        } else if (arg == "--seed" && hasValue) {
            seed = number(argv[++i]);
        } else {
            usage(("unknown option " + arg).c_str());
        }
    }
    if (frames < 0 || channels < 0 || channels > SHOWTAPE_MAX_CHANNELS || !(rate > 0)) usage("bad values");

    ShowtapeHeader header{};
    header.constantFrameRate = constant ? 1 : 0;
    header.loopShow = 0;
    header.date = 1700000000;
    setText(header.commentField, "made by lumictl_make_show");
    header.frameRate = rate;
    header.numberChannels = static_cast<int32_t>(channels);
    header.totalFrames = static_cast<int32_t>(frames);
    setText(header.effectSignature, "lumictl-test");
    std::vector<DevChar> showName(name.begin(), name.end());
    showName.push_back(0);

    ShowtapeHandle handle{};
    DevReturn r = createShowtape(&handle, out, showName.data(), &header, 0, 1);
    if (r != DevSuccess) {
        std::fprintf(stderr, "lumictl_make_show: createShowtape: %d\n", r);
        return 1;
    }
    std::vector<uint8_t> data(static_cast<std::size_t>(channels) + 1);
    for (long i = 0; i < frames; ++i) {
        for (long c = 0; c < channels; ++c)
            data[static_cast<std::size_t>(c)] = static_cast<uint8_t>((i * 31 + c * 7 + seed * 13 + (i * c) % 5) & 0xFF);
        DMXFrame frame{};
        frame.channelCount = static_cast<int32_t>(channels);
        frame.startCode = every > 0 && (i + 1) % every == 0 ? static_cast<int32_t>(code) : 0;
        frame.timeCode = static_cast<int32_t>(std::llround(static_cast<double>(i) * 1000.0 / rate));
        frame.dmxData = data.data();
        r = writeDMXFrame(&handle, &frame);
        if (r != DevSuccess) {
            std::fprintf(stderr, "lumictl_make_show: writeDMXFrame: %d\n", r);
            return 1;
        }
    }
    r = closeShowtape(&handle);
    if (r != DevSuccess) {
        std::fprintf(stderr, "lumictl_make_show: closeShowtape: %d\n", r);
        return 1;
    }
    return 0;
}
