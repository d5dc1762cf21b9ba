// Text handling of the controller simulator: UTF-16 <-> UTF-8 conversion and
// the rules that confine a caller's name to a controller's store.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "devtypes.h"

namespace lumidrive {

/// Longest name, in UTF-16 units, that a caller may give (a text field's
/// capacity minus its terminating zero).
inline constexpr std::size_t kMaxNameUnits = DEV_TEXT_UNITS - 1;

/// Longest file-name component, in UTF-8 bytes, that a store can hold.
inline constexpr std::size_t kMaxComponentBytes = 255;

/// Converts UTF-16 to UTF-8. Returns false, leaving `out` unspecified, when the
/// input holds an unpaired surrogate.
bool utf16ToUtf8(std::u16string_view in, std::string& out);

/// Converts strict UTF-8 to UTF-16. Returns false for malformed input
/// (overlong forms, encoded surrogates, values above U+10FFFF, cut sequences).
bool utf8ToUtf16(std::string_view in, std::u16string& out);

/// Copies `text` into a 256-unit record field, zero-filling the rest. Returns
/// false (field left empty) when it does not fit with its terminating zero.
bool toField(std::u16string_view text, DevChar (&field)[DEV_TEXT_UNITS]);

/// The units of a record field before its first zero unit. Returns false when
/// the field holds no zero unit at all (an unterminated field).
bool fromField(const DevChar (&field)[DEV_TEXT_UNITS], std::u16string& out);

/// A validated place inside a controller's store: zero or more folder
/// components followed by a final component, each a plain UTF-8 name.
/// An empty list of parts is the store's root folder.
struct StorePath {
    std::vector<std::string> parts;

    bool isRoot() const { return parts.empty(); }
    /// The parts joined with '/', e.g. "Act 1/Opening".
    std::string joined() const;
    /// The folder holding this path (the root for a single part).
    StorePath parent() const;
    /// The last part; empty for the root.
    std::string leaf() const { return parts.empty() ? std::string() : parts.back(); }
};

/// What the caller asked for when naming something in the store.
enum class NameKind {
    File,      ///< a show or file: "." and the root are refused
    Directory  ///< a folder to list: "." alone names the root
};

/// Reads a caller's zero-terminated name (never past its terminator, never
/// more than 256 units) and confines it to the store.
///
/// Refused with DevInvalidArgument: a null pointer. Refused with
/// DevInvalidName: an empty name, more than 255 units, an unpaired surrogate,
/// a control character, a leading separator (absolute path), an empty
/// component ("a//b", trailing separator), a component "." or ".." or starting
/// with '.' (dot-names are the store's hidden temporaries), or a component
/// longer than 255 UTF-8 bytes. Both '/' and '\' separate folders.
DevReturn parseName(const DevChar* name, NameKind kind, StorePath& out);

/// True when a UTF-8 file name found on disk is one a caller could give as a
/// component (valid UTF-8, no control character, not a dot-name, short
/// enough), so it may be listed.
bool isListableComponent(std::string_view utf8Name);

}  // namespace lumidrive
