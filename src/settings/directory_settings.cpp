#include "settings/directory_settings.h"

namespace settings {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool isDelimiter(char c) { return c == ',' || isLineEnd(c); }

// Reads one field at a time from the front of the bytes.
class FieldScanner {
public:
    FieldScanner(std::string_view bytes, bool endOfFile) : m_bytes(bytes), m_endOfFile(endOfFile) {}

    enum class Step { Field, NoField, NeedMore, TooLong };

    // Reads the next field into `value`.  `consumeDelimiter` is false for the
    // last field wanted, so that nothing after it is ever looked at.
    Step next(std::string &value, bool consumeDelimiter)
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
                    if (end - start > kMaxFieldBytes)
                        return Step::TooLong;
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

        if (end - start > kMaxFieldBytes)
            return Step::TooLong;
        if (end == m_bytes.size() && !m_endOfFile)
            return needMore(start);

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
    Step needMore(std::size_t start) const
    {
        return m_bytes.size() - start > kMaxFieldBytes ? Step::TooLong : Step::NeedMore;
    }

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
    FieldScanner scanner(bytes, endOfFile);
    for (int field = 1; field <= kSlotCount; ++field) {
        std::string value;
        switch (scanner.next(value, field < kSlotCount)) {
        case FieldScanner::Step::Field:
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
    if (!value.empty() && value.front() == '"')
        return "starts with a double quote, which the settings file reads as quoting";
    if (!value.empty() && (isBlank(value.front()) || isBlank(value.back())))
        return "starts or ends with a blank, which would be lost when the settings file is read back";
    if (value.size() > kMaxFieldBytes)
        return "is longer than " + std::to_string(kMaxFieldBytes) + " bytes";
    return encodingProblem(value);
}

}  // namespace settings
