#include "demo_shows.h"

#include <cstring>

#include "lumidrive.h"

namespace lumidrive {

namespace {

constexpr int32_t kDemoChannels = 512;
constexpr int32_t kDemoFrameRate = 40;
constexpr int64_t kDemoFrames = 30 * kDemoFrameRate;  // 30 seconds
// 2024-03-01 20:00:00 UTC, the date every demo show carries.
constexpr int64_t kDemoDate = 1709323200;

enum class Pattern { Chase, Fade, Rainbow, Sunrise, Strobe, Wave };

struct DemoInfo {
    const char* name;
    Pattern pattern;
    const char16_t* comment;
};

constexpr DemoInfo kDemos[] = {
    {"Chase", Pattern::Chase, u"A block of 16 channels running along the universe"},
    {"Fade", Pattern::Fade, u"Every channel fading up and down, fixture by fixture"},
    {"Rainbow", Pattern::Rainbow, u"RGB fixtures cycling through the colour wheel"},
    {"Sunrise", Pattern::Sunrise, u"Slow warm rise to full over thirty seconds"},
    {"Strobe", Pattern::Strobe, u"Full-on flashes at five per second"},
    {"Wave", Pattern::Wave, u"A brightness wave rolling across the rig"},
};

// Triangle wave: 0 -> 255 -> 0 over `period` steps.
uint8_t triangle(int64_t t, int64_t period) {
    const int64_t p = ((t % period) + period) % period;
    const int64_t half = period / 2;
    const int64_t v = p < half ? p * 255 / half : (period - p) * 255 / (period - half);
    return static_cast<uint8_t>(v);
}

uint8_t channelValue(Pattern pattern, int64_t f, int32_t ch) {
    switch (pattern) {
    case Pattern::Chase: {
        const int64_t head = (f * 8) % kDemoChannels;  // 8 channels per frame
        const int64_t behind = (head - ch + kDemoChannels) % kDemoChannels;
        return behind < 16 ? static_cast<uint8_t>(255 - behind * 12) : uint8_t{0};
    }
    case Pattern::Fade:
        return triangle(f + (ch / 4) * 3, 160);  // 4 s cycle, offset per 4-channel fixture
    case Pattern::Rainbow: {
        const int64_t fixture = ch / 3;
        const int64_t hue = (f * 4 + fixture * 9) % 768;  // three 256-step segments
        const int64_t colour = ch % 3;
        const int64_t seg = hue / 256;
        const int64_t pos = hue % 256;
        if (seg == colour) return static_cast<uint8_t>(255 - pos);
        if ((seg + 1) % 3 == colour) return static_cast<uint8_t>(pos);
        return 0;
    }
    case Pattern::Sunrise: {
        const int64_t level = f * 255 / (kDemoFrames - 1);
        const int64_t colour = ch % 3;  // red leads, green follows, blue last
        const int64_t v = colour == 0 ? level : colour == 1 ? level * level / 255
                                                            : level * level * level / (255 * 255);
        return static_cast<uint8_t>(v);
    }
    case Pattern::Strobe:
        return (f % 8) < 2 ? uint8_t{255} : uint8_t{0};
    case Pattern::Wave:
        return triangle(f * 2 - ch, 128);
    }
    return 0;
}

class DemoFrames final : public FrameSource {
public:
    explicit DemoFrames(Pattern p) : pattern_(p) {}
    int64_t frameCount() const override { return kDemoFrames; }
    void frame(int64_t index, DMXFrame& out) const override {
        out.channelCount = kDemoChannels;
        out.startCode = 0;
        out.timeCode = static_cast<int32_t>(index * 1000 / kDemoFrameRate);  // ms into the show
        for (int32_t ch = 0; ch < kDemoChannels; ++ch) out.dmxData[ch] = channelValue(pattern_, index, ch);
    }
    int64_t size() const override {
        return ShowSize::empty() + kDemoFrames * ShowSize::frame(kDemoChannels);
    }

private:
    Pattern pattern_;
};

void setText(DevChar (&field)[DEV_TEXT_UNITS], std::u16string_view text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), text.size() * sizeof(DevChar));
}

ControllerConfig controller(const char16_t* name, const char16_t* port, int32_t type,
                            int32_t classes, int64_t totalSpace, int32_t maxShows) {
    ControllerConfig c;
    c.name = name;
    c.port = port;
    c.deviceType = type;
    c.deviceNumber = 1;
    c.deviceClasses = classes;
    c.totalSpace = totalSpace;
    c.maxNumberShows = maxShows;
    return c;
}

}  // namespace

std::vector<BuiltInController> builtInControllers() {
    std::vector<BuiltInController> all;

    BuiltInController ld512{controller(u"Lumivex LD-512", u"usb-1", 1,
                                       DevClassLivePlay | DevClassPlayBackControl |
                                           DevClassPlayBackConfig,
                                       8 << 20, 16),
                            {"Chase", "Fade", "Rainbow"}};
    ld512.config.revision = u"2.4.1";
    ld512.config.numberPlaybackTriggers = 8;
    all.push_back(std::move(ld512));

    BuiltInController studio{controller(u"Lumivex LD-1024 Studio", u"usb-2", 2,
                                        DevClassLivePlay | DevClassPlayBackControl |
                                            DevClassPlayBackConfig | DevClassRecord,
                                        32 << 20, 64),
                             {"Strobe", "Sunrise", "Wave"}};
    studio.config.revision = u"3.1.0";
    studio.config.numberPlaybackTriggers = 32;
    studio.config.canPlaybackCompress = true;
    studio.config.minFrameRate = 0.5;
    all.push_back(std::move(studio));

    // A live-only output box: no show store, so it fails supportsPlayBackConfig
    // and the show utilities leave it out.
    BuiltInController live{controller(u"Lumivex LiveLink", u"usb-3", 3, DevClassLivePlay, 0, 0), {}};
    live.config.revision = u"1.2.0";
    live.config.numberPlaybackChannels = 0;
    live.config.numberPlaybackTriggers = 0;
    live.config.canListFiles = false;
    live.config.canReadFiles = false;
    live.config.hasTriggerHeader = false;
    all.push_back(std::move(live));

    return all;
}

void addDemoShows(MemoryStore& store, const std::vector<std::string>& names) {
    for (const auto& name : names) {
        for (const auto& d : kDemos) {
            if (name != d.name) continue;
            ShowtapeHeader h;
            std::memset(&h, 0, sizeof h);
            h.constantFrameRate = 1;
            h.loopShow = 1;
            h.date = kDemoDate;
            setText(h.commentField, d.comment);
            h.frameRate = kDemoFrameRate;
            h.numberChannels = kDemoChannels;
            h.totalFrames = static_cast<int32_t>(kDemoFrames);
            setText(h.effectSignature, u"lumivex-demo");
            store.add(name, h, std::make_shared<DemoFrames>(d.pattern), kDemoDate);
        }
    }
}

}  // namespace lumidrive
