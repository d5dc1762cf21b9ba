// Scripted, recording test doubles of the controller library and the
// show-file library.
//
// The doubles are built as libLumidrive.so and libShowtape.so in their own
// folder, with the same sonames as the real libraries, so code under test
// links (or a JVM loads a bridge that needs) them in place of the real ones.
// Both doubles write into one shared log, so a test sees the calls to both
// libraries in the order they were made.
//
// A test scripts each operation's results with push(): replies are taken in
// order, one per call; when an operation's queue is empty its default reply
// is used (code 0 with no outputs, except the enumerations and frame reads,
// whose default is DevNoMoreData so a caller's loop ends). A reply's outputs
// are written whatever its code, so a test can check that a caller ignores
// the outputs of a failed call.
//
// Thread safety: every function may be called from any thread; the log and
// the queues are guarded by one mutex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "devtypes.h"

namespace doubles {

/// A frame as a library received it.
struct FrameCopy {
    int32_t channelCount = 0;
    int32_t startCode = 0;
    int32_t timeCode = 0;
    bool dataWasNull = false;
    std::vector<uint8_t> data;  ///< the channelCount bytes at dmxData
};

/// One recorded library call.
struct Call {
    std::string op;                    ///< the library operation's name
    int32_t handle = 0;                ///< device handle argument (controller library)
    ShowtapeHandle tape{};             ///< show-file handle values (show-file library)
    bool tapeWasNull = false;          ///< the ShowtapeHandle pointer was null
    std::optional<std::u16string> text;  ///< text argument up to its zero unit; nullopt for a null pointer
    std::optional<char16_t> unitAfterText;  ///< the unit after text's zero unit (only when probing is on)
    std::optional<std::string> path;   ///< 8-bit path argument; nullopt for a null pointer
    int32_t number = 0;                ///< count, device classes or create's int argument
    DevBool flag = 0;                  ///< the bool argument of createFile/createTestFile/createShowtape
    std::vector<std::byte> record;     ///< copy of the input record (entry, header, trigger, trigger header)
    std::vector<std::byte> record2;    ///< copy of the second input record (trigger action)
    std::vector<FrameCopy> frames;     ///< frames passed (sendFrame, writeFrames, writeDMXFrame ...)
    bool outWasNull = false;           ///< an output pointer the caller must supply was null
    bool progressWasNull = false;      ///< deleteFile's progress function was null

    /// The input record reinterpreted as T (it must have been recorded with T's size).
    template <class T> T recordAs() const { return copyOut<T>(record); }
    template <class T> T record2As() const { return copyOut<T>(record2); }

private:
    template <class T> static T copyOut(const std::vector<std::byte>& bytes) {
        T value{};
        if (bytes.size() == sizeof(T)) std::memcpy(&value, bytes.data(), sizeof(T));
        return value;
    }
};

/// What one call of an operation does.
struct Reply {
    DevReturn code = DevSuccess;  ///< result; for revisions and capability queries, the value returned
    std::vector<std::byte> out;   ///< bytes written into the operation's first output record
    std::vector<std::byte> out2;  ///< bytes written into the second output record (trigger action)
    std::optional<int64_t> number;  ///< openDevice handle, getFreeSpace, closeTestFile totalSize
    DevBool flag = 0;             ///< closeTestFile willFit
    // readFrame / readDMXFrame: the frame fields and channel bytes written.
    int32_t startCode = 0;
    int32_t timeCode = 0;
    std::optional<int32_t> channelCount;  ///< defaults to channels.size()
    std::vector<uint8_t> channels;
    std::vector<std::pair<int32_t, int32_t>> progress;  ///< deleteFile progress calls to make
    std::optional<ShowtapeHandle> tape;  ///< createShowtape/openShowtape handle written
    std::optional<std::u16string> name;  ///< openShowtape show name written (a zero unit is added)
    // getLibraryVersion outputs.
    int32_t major = 0, minor = 0, build = 0;

    static Reply code_(DevReturn c) {
        Reply r;
        r.code = c;
        return r;
    }
    template <class T> static Reply withRecord(DevReturn c, const T& rec) {
        Reply r;
        r.code = c;
        r.out.resize(sizeof(T));
        std::memcpy(r.out.data(), &rec, sizeof(T));
        return r;
    }
    template <class T, class U> static Reply withRecords(DevReturn c, const T& a, const U& b) {
        Reply r = withRecord(c, a);
        r.out2.resize(sizeof(U));
        std::memcpy(r.out2.data(), &b, sizeof(U));
        return r;
    }
};

/// Forget every scripted reply, default and recorded call.
void reset();
/// Queue a reply for the next call of op that has no earlier reply queued.
void push(const std::string& op, const Reply& reply);
/// Queue a bare result code for op.
void push(const std::string& op, DevReturn code);
/// Reply used for op when its queue is empty.
void setDefault(const std::string& op, const Reply& reply);
/// When on, text arguments also record the unit after their zero unit
/// (only safe when the caller is known to pass at least one more unit).
void probeUnitAfterText(bool on);

/// Every call recorded since the last reset, in order.
std::vector<Call> calls();
/// The names of the recorded calls, in order.
std::vector<std::string> ops();
/// The recorded calls of one operation, in order.
std::vector<Call> callsOf(const std::string& op);

/// Used by the doubles themselves: record a call and take its reply.
Reply take(Call call);
/// Used by the doubles themselves: whether probeUnitAfterText is on.
bool probing();

/// UTF-16 helpers for tests.
std::u16string u16(const char* ascii);
/// Fill a fixed text field from ASCII (zero-terminated, rest zero).
void setText(DevChar (&field)[DEV_TEXT_UNITS], const std::u16string& text);

}  // namespace doubles
