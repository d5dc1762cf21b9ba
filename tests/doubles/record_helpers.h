// Helpers the two doubles share for copying what a caller passed.
#pragma once

#include <algorithm>
#include <cstring>

#include "double_control.h"

namespace doubles::detail {

inline void recordText(Call& call, const DevChar* text) {
    if (!text) return;
    std::u16string s;
    const DevChar* p = text;
    while (*p) s.push_back(*p++);
    call.text = s;
    if (probing()) call.unitAfterText = p[1];
}

template <class T> std::vector<std::byte> bytesOf(const T* rec) {
    std::vector<std::byte> out;
    if (rec) {
        out.resize(sizeof(T));
        std::memcpy(out.data(), rec, sizeof(T));
    }
    return out;
}

inline FrameCopy copyFrame(const DMXFrame& f) {
    FrameCopy c;
    c.channelCount = f.channelCount;
    c.startCode = f.startCode;
    c.timeCode = f.timeCode;
    c.dataWasNull = f.dmxData == nullptr;
    if (f.dmxData && f.channelCount > 0)
        c.data.assign(f.dmxData, f.dmxData + f.channelCount);
    return c;
}

// Writes a reply's bytes into an output record, whatever the reply's code.
template <class T> void writeOut(T* rec, const std::vector<std::byte>& bytes) {
    if (rec && !bytes.empty()) std::memcpy(rec, bytes.data(), std::min(bytes.size(), sizeof(T)));
}

// Writes a reply's frame into the caller's frame record and buffer.
inline void writeFrame(DMXFrame* frame, const Reply& r) {
    if (!frame) return;
    frame->startCode = r.startCode;
    frame->timeCode = r.timeCode;
    frame->channelCount = r.channelCount.value_or(static_cast<int32_t>(r.channels.size()));
    if (frame->dmxData && !r.channels.empty())
        std::memcpy(frame->dmxData, r.channels.data(), r.channels.size());
}

}  // namespace doubles::detail
