#include "sim_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace simtest {

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "lumidrive-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

SimDir::SimDir() : root_(temp_.path() / "controllers") { fs::create_directory(root_); }

fs::path SimDir::addController(const std::string& folder, const std::string& ini) {
    const fs::path dir = root_ / folder;
    fs::create_directories(dir);
    writeFile(dir / "controller.ini", ini);
    return dir;
}

void SimDir::setSimulatorIni(const std::string& text) { writeFile(root_ / "simulator.ini", text); }

void SimDir::use() const {
    ::setenv("LUMIDRIVE_SIM_DIR", root_.c_str(), 1);
    lumidriveSimReset();
}

void useBuiltIn() {
    ::unsetenv("LUMIDRIVE_SIM_DIR");
    lumidriveSimReset();
}

std::string descriptor(int type, int number, const std::string& extra) {
    return "type = " + std::to_string(type) + "\nnumber = " + std::to_string(number) + "\n" + extra;
}

std::u16string u16(const std::string& s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        char32_t c;
        std::size_t len;
        if (b < 0x80) {
            c = b;
            len = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1Fu;
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0Fu;
            len = 3;
        } else {
            c = b & 0x07u;
            len = 4;
        }
        for (std::size_t k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
        i += len;
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

void setField(DevChar (&field)[DEV_TEXT_UNITS], const std::u16string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min<std::size_t>(text.size(), DEV_TEXT_UNITS - 1) * 2);
}

ShowtapeHeader makeHeader(int32_t channels, int32_t frames, const std::u16string& comment) {
    ShowtapeHeader h;
    std::memset(&h, 0, sizeof h);
    h.constantFrameRate = 1;
    h.loopShow = 0;
    h.date = 1700000000;
    setField(h.commentField, comment);
    h.frameRate = 40.0;
    h.numberChannels = channels;
    h.totalFrames = frames;
    setField(h.effectSignature, u"sig-1");
    return h;
}

FrameSet::FrameSet(int n, std::vector<int32_t> counts, int seed) {
    data.resize(static_cast<std::size_t>(n));
    frames.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const auto idx = static_cast<std::size_t>(i);
        const int32_t count = counts[idx % counts.size()];
        auto& bytes = data[idx];
        bytes.resize(static_cast<std::size_t>(count) + 1);  // never empty, so data() is usable
        for (int32_t c = 0; c < count; ++c)
            bytes[static_cast<std::size_t>(c)] = static_cast<uint8_t>((seed * 31 + i * 7 + c * 13) & 0xFF);
        frames[idx] = DMXFrame{count, i % 3, i * 25 + seed, bytes.data()};
    }
}

int64_t FrameSet::showSize() const {
    std::vector<int32_t> counts;
    for (const auto& f : frames) counts.push_back(f.channelCount);
    return simtest::showSize(counts);
}

int64_t showSize(const std::vector<int32_t>& channelCounts) {
    int64_t s = 1578 + 17;
    for (const int32_t c : channelCounts) s += 21 + c;
    return s;
}

bool findDevice(int32_t type, int32_t number, DevEntry& out) {
    DevEntry e;
    for (DevReturn r = getFirstDevice(&e); r == DevSuccess; r = getNextDevice(&e)) {
        if (e.deviceType == type && e.deviceNumber == number) {
            out = e;
            return true;
        }
    }
    return false;
}

int32_t openOrFail(int32_t type, int32_t number) {
    DevEntry e;
    std::memset(&e, 0, sizeof e);
    e.deviceType = type;
    e.deviceNumber = number;
    int32_t h = -1;
    const DevReturn r = openDevice(&h, &e);
    EXPECT_EQ(r, DevSuccess) << "openDevice(" << type << ", " << number << ")";
    return h;
}

std::map<std::u16string, Listed> listAll(int32_t h, const std::u16string& folder) {
    std::map<std::u16string, Listed> out;
    DevFileEntry e;
    DevReturn r = getFirstFile(h, folder.c_str(), &e);
    for (; r == DevSuccess; r = getNextFile(h, &e)) {
        std::u16string name(e.fileName);
        EXPECT_EQ(out.count(name), 0u) << "listed twice";
        out[name] = Listed{e.fileSize, e.lastModified, e.isDirectory != 0};
    }
    EXPECT_EQ(r, DevNoMoreData) << "listing ended with " << r;
    return out;
}

DevReturn upload(int32_t h, const std::u16string& name, const ShowtapeHeader& header,
                 const std::vector<DMXFrame>& frames, bool overwrite, int batch) {
    ShowtapeHeader copy = header;
    DevReturn r = createFile(h, name.c_str(), &copy, overwrite ? 1 : 0);
    if (r != DevSuccess) return r;
    DevReturn first = DevSuccess;
    for (std::size_t i = 0; i < frames.size() && first == DevSuccess; i += static_cast<std::size_t>(batch)) {
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(batch), frames.size() - i);
        first = writeFrames(h, static_cast<int32_t>(n), frames.data() + i);
    }
    const DevReturn closed = closeFile(h);
    return first != DevSuccess ? first : closed;
}

DevReturn readBack(int32_t h, const std::u16string& name, ReadShow& out) {
    out = ReadShow{};
    DevReturn r = openFile(h, name.c_str(), &out.header);
    if (r != DevSuccess) return r;
    uint8_t buffer[512 + 64];
    for (;;) {
        std::memset(buffer, 0xEE, sizeof buffer);
        DMXFrame f{-7, -7, -7, buffer};
        r = readFrame(h, &f);
        if (r != DevSuccess) break;
        EXPECT_GE(f.channelCount, 0);
        EXPECT_LE(f.channelCount, 512);
        // Nothing is written past the frame's channels.
        for (std::size_t i = static_cast<std::size_t>(f.channelCount); i < sizeof buffer; ++i)
            if (buffer[i] != 0xEE) {
                ADD_FAILURE() << "readFrame wrote byte " << i << " of a " << f.channelCount << "-channel frame";
                break;
            }
        out.startCodes.push_back(f.startCode);
        out.timeCodes.push_back(f.timeCode);
        out.data.emplace_back(buffer, buffer + f.channelCount);
    }
    const DevReturn closed = closeFile(h);
    if (r != DevNoMoreData) return r;
    return closed;
}

std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path rel = fs::relative(it->path(), dir);
        if (it->is_symlink())
            out[rel.string()] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_regular_file())
            out[rel.string()] = readFile(it->path());
        else
            out[rel.string() + "/"] = "";
    }
    return out;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& content) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace simtest
