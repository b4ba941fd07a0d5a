#include "settings/directory_settings.h"

#include <algorithm>

namespace settings {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool isDelimiter(char c) { return c == ',' || isLineEnd(c); }

// Windows Notepad starts a file it saves as UTF-8 with this mark; it is no
// part of the Quake directory.
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Reads one field at a time from the front of the bytes.
class FieldScanner {
public:
    FieldScanner(std::string_view bytes, bool endOfFile) : m_bytes(bytes), m_endOfFile(endOfFile) {}

    enum class Step { Field, NoField, NeedMore, TooLong, HoldsNul };

    // Reads the next field into `value`.  `consumeDelimiter` is false for the
    // last field wanted, so that nothing after it is ever looked at.
    // `holdsNul` says whether the field's bytes, quotes and all, hold a NUL.
    Step next(std::string &value, bool consumeDelimiter, bool &holdsNul)
    {
        const std::size_t start = m_pos;
        std::size_t pos = m_pos;
        while (pos < m_bytes.size() && isBlank(m_bytes[pos]))
            ++pos;

        if (pos == m_bytes.size() && !m_endOfFile)
            return needMore(start);
        if (pos == m_bytes.size() && !m_afterComma)
            return Step::NoField;  // the file ended where a field would begin

        std::size_t end;  // where the field's delimiter (or the end) stands
        if (pos < m_bytes.size() && m_bytes[pos] == '"') {
            const std::size_t close = m_bytes.find('"', pos + 1);
            if (close == std::string_view::npos) {
                if (!m_endOfFile)
                    return needMore(start);
                value.assign(m_bytes.substr(pos + 1));
                end = m_bytes.size();
            } else {
                value.assign(m_bytes.substr(pos + 1, close - pos - 1));
                end = close + 1;
                if (!consumeDelimiter) {
                    // The last field wanted: whatever follows its closing quote is never needed.
                    if (const auto refused = refusal(start, end))
                        return *refused;
                    holdsNul = hasNul(start, end);
                    m_pos = end;
                    return Step::Field;
                }
                while (end < m_bytes.size() && !isDelimiter(m_bytes[end]))
                    ++end;
            }
        } else {
            end = pos;
            while (end < m_bytes.size() && !isDelimiter(m_bytes[end]))
                ++end;
            std::size_t last = end;
            while (last > pos && isBlank(m_bytes[last - 1]))
                --last;
            value.assign(m_bytes.substr(pos, last - pos));
        }

        if (const auto refused = refusal(start, end))
            return *refused;
        if (end == m_bytes.size() && !m_endOfFile)
            return needMore(start);

        holdsNul = hasNul(start, end);
        m_pos = end;
        m_afterComma = false;
        if (consumeDelimiter && end < m_bytes.size()) {
            if (m_bytes[end] == ',') {
                m_afterComma = true;
                m_pos = end + 1;
            } else if (m_bytes[end] == '\r') {
                // An LF may follow and belongs to this line end.  The field
                // itself is within the bound, so a longest directory whose CR
                // ends a piece of the file is not taken for an overlong one.
                if (end + 1 == m_bytes.size() && !m_endOfFile)
                    return Step::NeedMore;
                m_pos = end + ((end + 1 < m_bytes.size() && m_bytes[end + 1] == '\n') ? 2 : 1);
            } else {
                m_pos = end + 1;
            }
        }
        return Step::Field;
    }

private:
    // Only the bytes within the bound are searched, so that a piece of the
    // file and the whole file give the same answer.
    bool hasNul(std::size_t start, std::size_t end) const
    {
        return m_bytes.substr(start, std::min(end - start, kMaxFieldBytes + 1)).find('\0') != std::string_view::npos;
    }

    // Why the field that spans [start, end) so far cannot be a directory:
    // it runs past the bound, and is binary junk if it holds a NUL as well.
    std::optional<Step> refusal(std::size_t start, std::size_t end) const
    {
        if (end - start > kMaxFieldBytes)
            return hasNul(start, end) ? Step::HoldsNul : Step::TooLong;
        return std::nullopt;
    }

    Step needMore(std::size_t start) const { return refusal(start, m_bytes.size()).value_or(Step::NeedMore); }

    std::string_view m_bytes;
    bool m_endOfFile;
    std::size_t m_pos = 0;
    bool m_afterComma = false;  // a comma ended the previous field, so one more field follows
};

}  // namespace

std::string formatLine(const Directories &directories)
{
    std::string line;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (slot > 1)
            line += ',';
        line += directories.slot(slot);
    }
    line += "\r\n";
    return line;
}

ParseResult parseFields(std::string_view bytes, bool endOfFile)
{
    ParseResult result;
    if (bytes.starts_with(kUtf8ByteOrderMark))
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    FieldScanner scanner(bytes, endOfFile);
    for (int field = 1; field <= kSlotCount; ++field) {
        std::string value;
        bool holdsNul = false;
        switch (scanner.next(value, field < kSlotCount, holdsNul)) {
        case FieldScanner::Step::Field:
            if (holdsNul)
                result.slotsWithNul.push_back(field);
            else
                result.directories.slot(field) = std::move(value);
            result.fieldsRead = field;
            break;
        case FieldScanner::Step::NoField:
            result.status = ParseStatus::TooFewFields;
            return result;
        case FieldScanner::Step::NeedMore:
            result.status = ParseStatus::NeedMore;
            return result;
        case FieldScanner::Step::TooLong:
            result.status = ParseStatus::FieldTooLong;
            return result;
        case FieldScanner::Step::HoldsNul:
            result.status = ParseStatus::HoldsNul;
            return result;
        }
    }
    result.status = ParseStatus::Complete;
    return result;
}

std::optional<std::string> valueProblem(std::string_view value)
{
    if (value.find(',') != std::string_view::npos)
        return "contains a comma, which the settings file uses to separate the directories";
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return "contains a line break, which would end the settings file's line";
    if (value.find('\0') != std::string_view::npos)
        return "contains a NUL byte, which no directory name holds";
    // Blanks at either end are written as typed; reading drops them, which is
    // what a stray blank means.  A quote behind them still opens a quoted field.
    const std::size_t first = value.find_first_not_of(" \t");
    if (first != std::string_view::npos && value[first] == '"')
        return std::string("starts with ") + (first > 0 ? "blanks and " : "")
            + "a double quote, which the settings file reads as quoting";
    if (value.starts_with(kUtf8ByteOrderMark))
        return "starts with a byte-order mark, which reading the settings file skips";
    if (value.size() > kMaxFieldBytes)
        return "is longer than " + std::to_string(kMaxFieldBytes) + " bytes";
    return encodingProblem(value);
}

}  // namespace settings
