#include "double_control.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

namespace doubles {
namespace {

struct State {
    std::mutex mutex;
    std::map<std::string, std::deque<Reply>> queues;
    std::map<std::string, Reply> defaults;
    std::vector<Call> log;
    bool probe = false;
};

State& state() {
    static State s;
    return s;
}

// Enumerations and frame reads end a caller's loop by default.
bool endsByDefault(const std::string& op) {
    static const char* const ops[] = {"getFirstDevice", "getNextDevice", "getFirstFile",
                                      "getNextFile",    "getFirstTrigger", "getNextTrigger",
                                      "readFrame",      "readDMXFrame"};
    return std::any_of(std::begin(ops), std::end(ops), [&](const char* o) { return op == o; });
}

}  // namespace

void reset() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.queues.clear();
    s.defaults.clear();
    s.log.clear();
    s.probe = false;
}

void push(const std::string& op, const Reply& reply) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.queues[op].push_back(reply);
}

void push(const std::string& op, DevReturn code) { push(op, Reply::code_(code)); }

void setDefault(const std::string& op, const Reply& reply) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.defaults[op] = reply;
}

void probeUnitAfterText(bool on) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.probe = on;
}

std::vector<Call> calls() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.log;
}

std::vector<std::string> ops() {
    std::vector<std::string> names;
    for (const Call& c : calls()) names.push_back(c.op);
    return names;
}

std::vector<Call> callsOf(const std::string& op) {
    std::vector<Call> out;
    for (const Call& c : calls())
        if (c.op == op) out.push_back(c);
    return out;
}

Reply take(Call call) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    Reply reply;
    auto q = s.queues.find(call.op);
    if (q != s.queues.end() && !q->second.empty()) {
        reply = q->second.front();
        q->second.pop_front();
    } else if (auto d = s.defaults.find(call.op); d != s.defaults.end()) {
        reply = d->second;
    } else if (endsByDefault(call.op)) {
        reply.code = DevNoMoreData;
    }
    s.log.push_back(std::move(call));
    return reply;
}

bool probing() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.probe;
}

std::u16string u16(const char* ascii) {
    std::u16string out;
    for (const char* p = ascii; *p; ++p) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    return out;
}

void setText(DevChar (&field)[DEV_TEXT_UNITS], const std::u16string& text) {
    std::fill(std::begin(field), std::end(field), u'\0');
    const size_t n = std::min<size_t>(text.size(), DEV_TEXT_UNITS - 1);
    std::copy_n(text.begin(), n, field);
}

}  // namespace doubles
