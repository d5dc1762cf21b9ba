// Helpers shared by the show-file library tests: a temporary folder, show
// content as plain values, writing and reading shows through the public C
// API, and an encoder written from docs/show-file-format.md alone, so the
// tests check the library against the documented bytes.
#ifndef SHOWTAPE_TESTS_SUPPORT_H
#define SHOWTAPE_TESTS_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "showtape.h"

namespace st_test {

// A folder made by mkdtemp, removed with its content on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

struct Frame {
    std::int32_t startCode = 0;
    std::int32_t timeCode = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const Frame&) const = default;
};

// A whole show as values.
struct Show {
    std::u16string name;
    ShowtapeHeader header{};
    std::vector<Frame> frames;
};

// Fills a text field of 256 units with `text` and a terminator.
void setText(DevChar (&field)[DEV_TEXT_UNITS], const std::u16string& text);
std::u16string textOf(const DevChar* field);

ShowtapeHeader sampleHeader();
// `header` as a reader hands it back: bools 0 or 1, text units after the
// terminator zero.
ShowtapeHeader canonical(const ShowtapeHeader& header);
// Every field equal; frameRate compared bit for bit, text fields in full.
::testing::AssertionResult sameHeader(const ShowtapeHeader& expected, const ShowtapeHeader& actual);
// `count` frames of various sizes with recognisable content.
std::vector<Frame> sampleFrames(std::size_t count, std::size_t seed = 0);

// Writes `show` to `path` through the library. Returns the first nonzero
// code of create, a write or close, or 0.
DevReturn writeShow(const std::string& path, const Show& show, bool replaceExisting = true);

// What reading a file through the library gave.
struct ReadResult {
    DevReturn openCode = DevSuccess;
    std::u16string name;
    ShowtapeHeader header{};
    std::vector<Frame> frames;
    DevReturn endCode = DevSuccess;  // the first nonzero read result
};
// Opens `path`, reads until the first nonzero result, closes.
ReadResult readShow(const std::string& path);

std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool exists(const std::string& path);

// ---- The documented format, encoded independently of the library. ----
namespace doc {
inline constexpr std::size_t kHeadSize = 1578;
inline constexpr std::size_t kHeadCrcOffset = 1574;
inline constexpr std::size_t kFrameHeaderSize = 17;
inline constexpr std::size_t kEndRecordSize = 17;

std::uint32_t crc(const std::uint8_t* data, std::size_t size, std::uint32_t seed = 0);
void putU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v);

// Where the records of an encoded show start.
struct Layout {
    std::vector<std::size_t> frameOffsets;
    std::size_t endOffset = 0;
};
std::vector<std::uint8_t> encode(const Show& show, Layout* layout = nullptr);

// Recompute the checksums after a test edited bytes on purpose.
void resealHead(std::vector<std::uint8_t>& bytes);
void resealFrame(std::vector<std::uint8_t>& bytes, std::size_t offset);  // both CRCs
void resealEnd(std::vector<std::uint8_t>& bytes, std::size_t offset);
}  // namespace doc

}  // namespace st_test

#endif  // SHOWTAPE_TESTS_SUPPORT_H
