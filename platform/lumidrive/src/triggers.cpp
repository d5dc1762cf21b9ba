#include "triggers.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <sstream>

#include "text.h"

namespace lumidrive {

namespace {

std::string quote(const DevChar (&field)[DEV_TEXT_UNITS]) {
    std::u16string units;
    fromField(field, units);
    std::string utf8;
    utf16ToUtf8(units, utf8);  // names were checked when they were set
    std::string q = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\') q.push_back('\\');
        q.push_back(c);
    }
    q.push_back('"');
    return q;
}

bool unquote(std::string_view s, DevChar (&field)[DEV_TEXT_UNITS]) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
    s = s.substr(1, s.size() - 2);
    std::string raw;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            if (++i >= s.size()) return false;
        } else if (s[i] == '"') {
            return false;
        }
        raw.push_back(s[i]);
    }
    std::u16string units;
    return utf8ToUtf16(raw, units) && toField(units, field);
}

template <class Int> bool takeInt(std::string_view& s, Int& out) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    if (ec != std::errc() || ptr == s.data()) return false;
    s.remove_prefix(static_cast<std::size_t>(ptr - s.data()));
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

class FdHolder {
public:
    explicit FdHolder(int fd) : fd_(fd) {}
    FdHolder(const FdHolder&) = delete;
    FdHolder& operator=(const FdHolder&) = delete;
    ~FdHolder() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

}  // namespace

std::string formatTriggerFile(const TriggerTable& table) {
    std::ostringstream out;
    out << "# Trigger table of this controller, written by the controller simulator.\n"
        << "# header = byte1 byte2 byte3 byte4\n"
        << "# trigger = triggerType value actionType actionValue \"fileName\"\n";
    const DevTriggerHeader& h = table.header;
    out << "header = " << int{h.byte1} << ' ' << int{h.byte2} << ' ' << int{h.byte3} << ' '
        << int{h.byte4} << '\n';
    for (const auto& row : table.rows) {
        out << "trigger = " << row.trigger.triggerType << ' ' << row.trigger.value << ' '
            << row.action.actionType << ' ' << row.action.value << ' ' << quote(row.action.fileName)
            << '\n';
    }
    return out.str();
}

bool parseTriggerFile(std::string_view text, TriggerTable& out, std::string& error) {
    TriggerTable table;
    int number = 0;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        std::string_view line = trim(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        ++number;
        if (line.empty() || line.front() == '#') continue;
        const auto eq = line.find('=');
        const std::string_view key = eq == std::string_view::npos ? line : trim(line.substr(0, eq));
        std::string_view value = eq == std::string_view::npos ? std::string_view() : trim(line.substr(eq + 1));
        bool ok = false;
        if (key == "header") {
            int b[4];
            ok = true;
            for (int& v : b) ok = ok && takeInt(value, v) && v >= 0 && v <= 255;
            ok = ok && trim(value).empty();
            if (ok) {
                table.header = {static_cast<uint8_t>(b[0]), static_cast<uint8_t>(b[1]),
                                static_cast<uint8_t>(b[2]), static_cast<uint8_t>(b[3])};
            }
        } else if (key == "trigger") {
            TriggerRow row;
            std::memset(&row, 0, sizeof row);
            ok = takeInt(value, row.trigger.triggerType) && takeInt(value, row.trigger.value) &&
                 takeInt(value, row.action.actionType) && takeInt(value, row.action.value) &&
                 unquote(trim(value), row.action.fileName);
            if (ok) table.rows.push_back(row);
        }
        if (!ok) {
            error = "line " + std::to_string(number) + " cannot be read";
            return false;
        }
    }
    out = std::move(table);
    return true;
}

DevReturn loadTriggerFile(const std::filesystem::path& file, TriggerTable& out, std::string& error) {
    FdHolder fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            out = TriggerTable{};
            return DevSuccess;
        }
        error = "cannot be opened";
        return DevIOError;
    }
    std::string text;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot be read";
            return DevIOError;
        }
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return parseTriggerFile(text, out, error) ? DevSuccess : DevCorrupt;
}

DevReturn saveTriggerFile(const std::filesystem::path& file, const TriggerTable& table) {
    const std::string text = formatTriggerFile(table);
    const std::string temp = file.parent_path() / ("." + file.filename().string() + ".tmp");
    FdHolder fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0) return DevIOError;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::unlink(temp.c_str());
            return DevIOError;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0 ||
        ::rename(temp.c_str(), file.c_str()) != 0) {
        ::unlink(temp.c_str());
        return DevIOError;
    }
    FdHolder dir(::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return DevSuccess;
}

}  // namespace lumidrive
