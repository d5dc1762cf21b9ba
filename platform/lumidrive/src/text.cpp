#include "text.h"

#include <algorithm>
#include <cstdint>

namespace lumidrive {

namespace {

bool isHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
bool isControl(char32_t c) { return c < 0x20 || c == 0x7F; }

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

bool utf16ToUtf8(std::u16string_view in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t u = in[i];
        if (isHighSurrogate(u)) {
            if (i + 1 >= in.size() || !isLowSurrogate(in[i + 1])) return false;
            const char32_t low = in[++i];
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        } else if (isLowSurrogate(u)) {
            return false;
        }
        appendUtf8(u, out);
    }
    return true;
}

bool utf8ToUtf16(std::string_view in, std::u16string& out) {
    out.clear();
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const auto b0 = static_cast<unsigned char>(in[i]);
        char32_t c = 0;
        std::size_t len = 0;
        char32_t min = 0;
        if (b0 < 0x80) {
            c = b0;
            len = 1;
        } else if ((b0 & 0xE0) == 0xC0) {
            c = b0 & 0x1Fu;
            len = 2;
            min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            c = b0 & 0x0Fu;
            len = 3;
            min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            c = b0 & 0x07u;
            len = 4;
            min = 0x10000;
        } else {
            return false;
        }
        if (len > in.size() - i) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(in[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            c = (c << 6) | (b & 0x3Fu);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        if (c >= 0x10000) {
            const char32_t v = c - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += len;
    }
    return true;
}

bool toField(std::u16string_view text, DevChar (&field)[DEV_TEXT_UNITS]) {
    std::fill(std::begin(field), std::end(field), DevChar{0});
    if (text.size() > kMaxNameUnits) return false;
    std::copy(text.begin(), text.end(), field);
    return true;
}

bool fromField(const DevChar (&field)[DEV_TEXT_UNITS], std::u16string& out) {
    const auto* end = std::find(std::begin(field), std::end(field), DevChar{0});
    if (end == std::end(field)) return false;
    out.assign(std::begin(field), end);
    return true;
}

std::string StorePath::joined() const {
    std::string s;
    for (const auto& p : parts) {
        if (!s.empty()) s.push_back('/');
        s += p;
    }
    return s;
}

StorePath StorePath::parent() const {
    StorePath p = *this;
    if (!p.parts.empty()) p.parts.pop_back();
    return p;
}

bool isListableComponent(std::string_view utf8Name) {
    if (utf8Name.empty() || utf8Name.size() > kMaxComponentBytes) return false;
    if (utf8Name.front() == '.') return false;
    std::u16string units;
    if (!utf8ToUtf16(utf8Name, units)) return false;
    return std::none_of(units.begin(), units.end(), [](char16_t u) {
        return isControl(u) || u == u'/' || u == u'\\';
    });
}

DevReturn parseName(const DevChar* name, NameKind kind, StorePath& out) {
    if (!name) return DevInvalidArgument;
    // Read at most one unit past the longest allowed name, so a name that is
    // too long is recognised without ever reading past its terminator.
    std::u16string units;
    for (std::size_t i = 0; i <= kMaxNameUnits; ++i) {
        if (name[i] == 0) break;
        units.push_back(name[i]);
    }
    if (units.empty() || units.size() > kMaxNameUnits) return DevInvalidName;

    StorePath path;
    if (kind == NameKind::Directory && units == u".") {
        out = path;
        return DevSuccess;
    }
    if (units.front() == u'/' || units.front() == u'\\') return DevInvalidName;

    std::u16string component;
    auto finish = [&]() -> bool {
        if (component.empty() || component.front() == u'.') return false;  // "", ".", "..", ".x"
        std::string utf8;
        if (!utf16ToUtf8(component, utf8) || utf8.size() > kMaxComponentBytes) return false;
        path.parts.push_back(std::move(utf8));
        component.clear();
        return true;
    };
    for (const char16_t u : units) {
        if (isControl(u)) return DevInvalidName;
        if (u == u'/' || u == u'\\') {
            if (!finish()) return DevInvalidName;
        } else {
            component.push_back(u);
        }
    }
    if (!finish()) return DevInvalidName;
    out = std::move(path);
    return DevSuccess;
}

}  // namespace lumidrive
