#pragma once

// The nine directories Tessaro needs and the one-line text format that
// carries them.  Pure data handling: the file itself is settings_file.h.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

inline constexpr int kSlotCount = 9;

// A field longer than this is not a directory; reading stops there instead of
// following an endless or binary file.
inline constexpr std::size_t kMaxFieldBytes = 4096;

// The directory settings in slot order.  Slot 1 is the Quake directory, slots
// 2 to 9 are the game directories of the mods (the game-type index of a launch
// group names its slot).
class Directories {
public:
    Directories() = default;
    explicit Directories(std::array<std::string, kSlotCount> values) : m_values(std::move(values)) {}

    // slot is 1 to 9.
    const std::string &slot(int slot) const { return m_values.at(static_cast<std::size_t>(slot - 1)); }
    std::string &slot(int slot) { return m_values.at(static_cast<std::size_t>(slot - 1)); }

    const std::array<std::string, kSlotCount> &values() const { return m_values; }

    bool operator==(const Directories &) const = default;

private:
    std::array<std::string, kSlotCount> m_values;
};

// The file's single line: the nine values joined by commas, then CR LF.
// Nothing is quoted or escaped.
std::string formatLine(const Directories &directories);

enum class ParseStatus {
    Complete,      // all nine fields were read
    NeedMore,      // the bytes end before the ninth field does; give more
    TooFewFields,  // the end of the file came before the ninth field
    FieldTooLong,  // a field runs past kMaxFieldBytes
    HoldsNul,      // a field that holds a NUL byte runs past kMaxFieldBytes: no settings file at all
};

struct ParseResult {
    ParseStatus status = ParseStatus::NeedMore;
    Directories directories;  // the fields read so far; all nine when Complete
    int fieldsRead = 0;
    // Fields that hold a NUL byte, which no directory name does: counted as
    // read, their values left empty, so that the others are not lost.
    std::vector<int> slotsWithNul{};

    bool operator==(const ParseResult &) const = default;
};

// Comma-delimited sequential input of the first nine fields of `bytes`,
// after the UTF-8 byte-order mark that may start them.
// A field ends at a comma or a line end (CR, LF or CR LF), so nine lines read
// like one line.  Blanks and tabs around an unquoted field are not part of it.
// A field that begins with a double quote runs to the next double quote; the
// quotes are not part of the value and anything between the closing quote and
// the field's end is dropped.  A quote that is never closed runs to the end of
// the file.  A field with a NUL byte anywhere in it is read as empty and
// named in slotsWithNul.  Nothing after the ninth field is looked at.  `endOfFile` says
// whether `bytes` is all there is; without it, the parser asks for more rather
// than guess where a field ends.
ParseResult parseFields(std::string_view bytes, bool endOfFile);

// Why `value` cannot be stored in the settings file, or nothing when it can.
// What can be stored reads back as it was, less any blanks and tabs at its
// ends.  The reason finishes the sentence "The value ...".  Includes
// encodingProblem().
std::optional<std::string> valueProblem(std::string_view value);

// The platform's share of valueProblem(): why the settings file's character
// set cannot carry `value`, or nothing.  Values are UTF-8 text (as the window
// holds them).  On POSIX systems the file carries their bytes as they are and
// every value fits; on Windows the file is in the system's ANSI code page,
// and text that the code page has no characters for is refused rather than
// stored as "?".  Implemented beside the settings file, once per platform.
std::optional<std::string> encodingProblem(std::string_view value);

}  // namespace settings
