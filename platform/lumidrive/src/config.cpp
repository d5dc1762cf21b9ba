#include "config.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <utility>

#include "lumidrive.h"
#include "text.h"

namespace lumidrive {

namespace {

constexpr std::array<const char*, kOpCount> kOpNames = {
    "getFirstDevice",  "getNextDevice",   "openDevice",     "closeDevice",     "getDeviceInfo",
    "getDeviceState",  "startLivePlay",   "sendFrame",      "stopLivePlay",    "createFile",
    "writeFrames",     "closeFile",       "createTestFile", "writeTestFrames", "closeTestFile",
    "getFreeSpace",    "getFirstFile",    "getNextFile",    "deleteFile",      "openFile",
    "readFrame",       "startPlayback",   "stopPlayback",   "createTriggers",  "setTrigger",
    "getTriggerHeader", "setTriggerHeader", "closeTriggers", "getFirstTrigger", "getNextTrigger",
};

constexpr std::pair<const char*, DevReturn> kCodeNames[] = {
    {"DevError", DevError},
    {"DevNoMoreData", DevNoMoreData},
    {"DevInvalidArgument", DevInvalidArgument},
    {"DevInvalidHandle", DevInvalidHandle},
    {"DevDeviceNotFound", DevDeviceNotFound},
    {"DevDeviceBusy", DevDeviceBusy},
    {"DevFileNotFound", DevFileNotFound},
    {"DevInvalidName", DevInvalidName},
    {"DevIOError", DevIOError},
    {"DevOutOfMemory", DevOutOfMemory},
    {"DevStoreFull", DevStoreFull},
    {"DevTooManyShows", DevTooManyShows},
    {"DevFrameTooLarge", DevFrameTooLarge},
    {"DevWrongState", DevWrongState},
    {"DevFileExists", DevFileExists},
    {"DevBadFormat", DevBadFormat},
    {"DevCorrupt", DevCorrupt},
    {"DevTruncated", DevTruncated},
    {"DevNotSupported", DevNotSupported},
    {"DevFileAlreadyOpen", DevFileAlreadyOpen},
    {"DevFileNotOpen", DevFileNotOpen},
    {"DevInitFailed", DevInitFailed},
};

constexpr std::pair<const char*, int32_t> kClassNames[] = {
    {"liveplay", DevClassLivePlay},
    {"playbackcontrol", DevClassPlayBackControl},
    {"playbackconfig", DevClassPlayBackConfig},
    {"record", DevClassRecord},
};

std::string lower(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return r;
}

std::string_view trim(std::string_view s) {
    const auto notSpace = [](char c) { return c != ' ' && c != '\t' && c != '\r'; };
    while (!s.empty() && !notSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && !notSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

template <class Int> std::optional<Int> parseInt(std::string_view s) {
    Int v{};
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || ptr != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

std::optional<int64_t> parseSize(std::string_view s) {
    int64_t unit = 1;
    if (!s.empty()) {
        switch (std::toupper(static_cast<unsigned char>(s.back()))) {
        case 'K': unit = int64_t{1} << 10; break;
        case 'M': unit = int64_t{1} << 20; break;
        case 'G': unit = int64_t{1} << 30; break;
        default: break;
        }
        if (unit != 1) s.remove_suffix(1);
    }
    const auto v = parseInt<int64_t>(trim(s));
    if (!v || *v < 0 || *v > std::numeric_limits<int64_t>::max() / unit) return std::nullopt;
    return *v * unit;
}

std::optional<bool> parseBool(std::string_view s) {
    const std::string l = lower(s);
    if (l == "true" || l == "yes" || l == "on" || l == "1") return true;
    if (l == "false" || l == "no" || l == "off" || l == "0") return false;
    return std::nullopt;
}

std::optional<double> parseDouble(std::string_view s) {
    double v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size() || s.empty() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// A text value: UTF-8, no control character, at most 255 UTF-16 units.
std::optional<std::u16string> parseText(std::string_view s) {
    std::u16string u;
    if (!utf8ToUtf16(s, u) || u.size() > kMaxNameUnits) return std::nullopt;
    if (std::any_of(u.begin(), u.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; }))
        return std::nullopt;
    return u;
}

std::optional<int32_t> parseClasses(std::string_view s) {
    if (auto v = parseInt<int32_t>(s)) return v;
    int32_t bits = 0;
    std::string spaced(s);
    std::replace_if(spaced.begin(), spaced.end(), [](char c) { return c == '|' || c == ','; }, ' ');
    const auto names = words(spaced);
    if (names.empty()) return std::nullopt;
    for (const auto w : names) {
        const std::string l = lower(w);
        const auto* it = std::find_if(std::begin(kClassNames), std::end(kClassNames),
                                      [&](const auto& p) { return l == p.first; });
        if (it == std::end(kClassNames)) return std::nullopt;
        bits |= it->second;
    }
    return bits;
}

std::optional<Op> parseOp(std::string_view s) {
    for (std::size_t i = 0; i < kOpCount; ++i)
        if (s == kOpNames[i]) return static_cast<Op>(i);
    return std::nullopt;
}

std::optional<DevReturn> parseCode(std::string_view s) {
    for (const auto& [n, c] : kCodeNames)
        if (s == n) return c;
    return parseInt<int32_t>(s);
}

bool parseFault(std::string_view value, bool processWide, FaultRule& rule, std::string& error) {
    const auto w = words(value);
    if (w.size() != 2 && w.size() != 4) {
        error = "a fault is '<operation> <code> [from N | at N]'";
        return false;
    }
    const auto op = parseOp(w[0]);
    if (!op) {
        error = "unknown operation '" + std::string(w[0]) + "' in fault";
        return false;
    }
    const bool enumeration = *op == Op::getFirstDevice || *op == Op::getNextDevice;
    if (enumeration != processWide) {
        error = std::string("fault on ") + opName(*op) +
                (processWide ? " belongs in a controller's controller.ini"
                             : " belongs in simulator.ini");
        return false;
    }
    const auto code = parseCode(w[1]);
    if (!code || *code == DevSuccess) {
        error = "fault code '" + std::string(w[1]) + "' is not a nonzero code";
        return false;
    }
    rule = FaultRule{*op, *code, 1, false};
    if (w.size() == 4) {
        const auto n = parseInt<int64_t>(w[3]);
        if ((w[2] != "from" && w[2] != "at") || !n || *n < 1) {
            error = "a fault's call number is 'from N' or 'at N' with N >= 1";
            return false;
        }
        rule.firstCall = *n;
        rule.onlyThatCall = w[2] == "at";
    }
    return true;
}

struct Line {
    int number;
    std::string key;  // lower case
    std::string_view value;
};

// Splits ini text into key = value lines; '#' and ';' start comment lines.
bool splitLines(std::string_view text, std::vector<Line>& out, std::string& error) {
    int number = 0;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        ++number;
        line = trim(line);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            error = "line " + std::to_string(number) + ": expected 'key = value'";
            return false;
        }
        out.push_back({number, lower(trim(line.substr(0, eq))), trim(line.substr(eq + 1))});
    }
    return true;
}

}  // namespace

const char* opName(Op op) { return kOpNames[static_cast<std::size_t>(op)]; }

DevReturn FaultCounters::count(Op op, const std::vector<FaultRule>& rules) {
    const int64_t n = ++calls_[static_cast<std::size_t>(op)];
    for (const auto& r : rules) {
        if (r.op != op) continue;
        if (r.onlyThatCall ? n == r.firstCall : n >= r.firstCall) return r.code;
    }
    return DevSuccess;
}

void FaultCounters::resetAllBut(Op keep) {
    const int64_t kept = calls_[static_cast<std::size_t>(keep)];
    calls_.fill(0);
    calls_[static_cast<std::size_t>(keep)] = kept;
}

bool parseControllerIni(std::string_view text, const std::string& folderName,
                        ControllerConfig& out, std::string& error) {
    std::vector<Line> lines;
    if (!splitLines(text, lines, error)) return false;

    ControllerConfig cfg;
    cfg.folderName = folderName;
    std::u16string folder16;
    if (!utf8ToUtf16(folderName, folder16)) folder16 = u"controller";
    cfg.name = folder16;
    cfg.port = u"sim-" + folder16;
    if (cfg.port.size() > kMaxNameUnits) {
        cfg.port.resize(kMaxNameUnits);
        if (cfg.port.back() >= 0xD800 && cfg.port.back() <= 0xDBFF) cfg.port.pop_back();  // half a pair
    }

    std::set<std::string> seen;
    bool haveType = false;
    bool haveNumber = false;
    for (const auto& l : lines) {
        const std::string where = "line " + std::to_string(l.number) + ": ";
        if (l.key != "fault" && !seen.insert(l.key).second) {
            error = where + "'" + l.key + "' given twice";
            return false;
        }
        bool ok = true;
        auto setText = [&](std::u16string& field) {
            const auto v = parseText(l.value);
            ok = v.has_value();
            if (ok) field = *v;
        };
        auto setInt = [&](int32_t& field, int32_t min, int32_t max) {
            const auto v = parseInt<int32_t>(l.value);
            ok = v && *v >= min && *v <= max;
            if (ok) field = *v;
        };
        auto setBool = [&](bool& field) {
            const auto v = parseBool(l.value);
            ok = v.has_value();
            if (ok) field = *v;
        };
        constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();
        if (l.key == "name") {
            setText(cfg.name);
        } else if (l.key == "port") {
            setText(cfg.port);
        } else if (l.key == "type") {
            setInt(cfg.deviceType, std::numeric_limits<int32_t>::min(), kMaxInt);
            haveType = ok;
        } else if (l.key == "number") {
            setInt(cfg.deviceNumber, std::numeric_limits<int32_t>::min(), kMaxInt);
            haveNumber = ok;
        } else if (l.key == "classes") {
            const auto v = parseClasses(l.value);
            ok = v.has_value();
            if (ok) cfg.deviceClasses = *v;
        } else if (l.key == "revision") {
            setText(cfg.revision);
        } else if (l.key == "numberliveplaychannels") {
            setInt(cfg.numberLivePlayChannels, 0, 512);
        } else if (l.key == "numberplaybackchannels") {
            setInt(cfg.numberPlaybackChannels, 0, 512);
        } else if (l.key == "numberplaybacktriggers") {
            setInt(cfg.numberPlaybackTriggers, 0, 4096);
        } else if (l.key == "totalspace") {
            const auto v = parseSize(l.value);
            ok = v.has_value();
            if (ok) cfg.totalSpace = *v;
        } else if (l.key == "maxnumbershows") {
            setInt(cfg.maxNumberShows, 0, kMaxInt);
        } else if (l.key == "minframerate") {
            const auto v = parseDouble(l.value);
            ok = v && *v >= 0;
            if (ok) cfg.minFrameRate = *v;
        } else if (l.key == "canplaybackcompress") {
            setBool(cfg.canPlaybackCompress);
        } else if (l.key == "canlistfiles") {
            setBool(cfg.canListFiles);
        } else if (l.key == "canreadfiles") {
            setBool(cfg.canReadFiles);
        } else if (l.key == "hastriggerheader") {
            setBool(cfg.hasTriggerHeader);
        } else if (l.key == "fault") {
            FaultRule rule;
            std::string why;
            if (!parseFault(l.value, false, rule, why)) {
                error = where + why;
                return false;
            }
            cfg.faults.push_back(rule);
        } else {
            error = where + "unknown key '" + l.key + "'";
            return false;
        }
        if (!ok) {
            error = where + "bad value for '" + l.key + "': '" + std::string(l.value) + "'";
            return false;
        }
    }
    if (!haveType || !haveNumber) {
        error = "'type' and 'number' are required";
        return false;
    }
    out = std::move(cfg);
    return true;
}

bool parseSimulatorIni(std::string_view text, SimulatorConfig& out, std::string& error) {
    std::vector<Line> lines;
    if (!splitLines(text, lines, error)) return false;
    SimulatorConfig cfg;
    for (const auto& l : lines) {
        const std::string where = "line " + std::to_string(l.number) + ": ";
        if (l.key != "fault") {
            error = where + "unknown key '" + l.key + "'";
            return false;
        }
        FaultRule rule;
        std::string why;
        if (!parseFault(l.value, true, rule, why)) {
            error = where + why;
            return false;
        }
        cfg.faults.push_back(rule);
    }
    out = std::move(cfg);
    return true;
}

}  // namespace lumidrive
