#include "settings/directory_settings.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using settings::Directories;
using settings::ParseStatus;
using settings::parseFields;

namespace {

Directories dirs(std::array<std::string, 9> values) { return Directories(std::move(values)); }

const Directories kLetters = dirs({"a", "b", "c", "d", "e", "f", "g", "h", "i"});

struct ParseCase {
    const char *name;
    std::string input;
    bool endOfFile;
    ParseStatus status;
    int fieldsRead;
    Directories expected;  // compared for Complete and TooFewFields
    std::vector<int> slotsWithNul = {};
};

std::string repeated(const std::string &piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

const std::vector<ParseCase> kParseCases = {
    {"one line as written", "a,b,c,d,e,f,g,h,i\r\n", true, ParseStatus::Complete, 9, kLetters},
    {"nine lines CR LF", "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\n", true, ParseStatus::Complete, 9, kLetters},
    {"nine lines LF", "a\nb\nc\nd\ne\nf\ng\nh\ni\n", true, ParseStatus::Complete, 9, kLetters},
    {"nine lines CR", "a\rb\rc\rd\re\rf\rg\rh\ri\r", true, ParseStatus::Complete, 9, kLetters},
    {"eight commas are nine empty values", ",,,,,,,,\r\n", true, ParseStatus::Complete, 9, Directories()},
    {"ninth field ended by the end of the file", "a,b,c,d,e,f,g,h,i", true, ParseStatus::Complete, 9, kLetters},
    {"empty ninth field after a final comma", "a,b,c,d,e,f,g,h,", true, ParseStatus::Complete, 9,
     dirs({"a", "b", "c", "d", "e", "f", "g", "h", ""})},
    {"extra fields are never read", "a,b,c,d,e,f,g,h,i,j,k\r\nl\r\n", true, ParseStatus::Complete, 9, kLetters},
    {"blanks and tabs around unquoted fields are dropped", " a ,\tb\t, c d ,d,e,f,g,h,  i  \r\n", true,
     ParseStatus::Complete, 9, dirs({"a", "b", "c d", "d", "e", "f", "g", "h", "i"})},
    {"quoted fields keep commas, blanks and line breaks", "\"C:\\Quake, mine\",\" b \",\"c\r\nc\",d,e,f,g,h,i\r\n",
     true, ParseStatus::Complete, 9, dirs({"C:\\Quake, mine", " b ", "c\r\nc", "d", "e", "f", "g", "h", "i"})},
    {"text after a closing quote is dropped", "\"a\"xyz,b,c,d,e,f,g,h,\"i\"tail\r\n", true, ParseStatus::Complete, 9,
     kLetters},
    {"a quote that never closes runs to the end", "a,b,c,d,e,f,g,h,\"i,j\r\nk", true, ParseStatus::Complete, 9,
     dirs({"a", "b", "c", "d", "e", "f", "g", "h", "i,j\r\nk"})},
    {"an empty line is an empty field", "a\n\nc\nd\ne\nf\ng\nh\ni\n", true, ParseStatus::Complete, 9,
     dirs({"a", "", "c", "d", "e", "f", "g", "h", "i"})},
    {"a comma before a line end leaves an empty field", "a,\nc,d,e,f,g,h,i\n", true, ParseStatus::Complete, 9,
     dirs({"a", "", "c", "d", "e", "f", "g", "h", "i"})},
    {"bytes pass through unchanged", "/srv/qu\xC3\xA4ke,\xFF\xFE,a\x01" "b,d,e,f,g,h,i\r\n", true,
     ParseStatus::Complete, 9,
     dirs({"/srv/qu\xC3\xA4ke", "\xFF\xFE", "a\x01" "b", "d", "e", "f", "g", "h", "i"})},
    {"a UTF-8 byte-order mark before the first field is skipped", "\xEF\xBB\xBF" "a,b,c,d,e,f,g,h,i\r\n", true,
     ParseStatus::Complete, 9, kLetters},
    {"ten thousand empty lines are empty fields", repeated("\n", 10000), true, ParseStatus::Complete, 9,
     Directories()},

    {"empty file", "", true, ParseStatus::TooFewFields, 0, Directories()},
    {"short line", "a,b,c\r\n", true, ParseStatus::TooFewFields, 3, dirs({"a", "b", "c", "", "", "", "", "", ""})},
    {"eight values and a line end", "a,b,c,d,e,f,g,h\r\n", true, ParseStatus::TooFewFields, 8,
     dirs({"a", "b", "c", "d", "e", "f", "g", "h", ""})},
    {"an unclosed quote swallows the rest", "a,\"b,c,d,e,f,g,h,i\r\n", true, ParseStatus::TooFewFields, 2,
     dirs({"a", "b,c,d,e,f,g,h,i\r\n", "", "", "", "", "", "", ""})},
    {"trailing blanks are no field", "a,b,c,d,e,f,g,h\r\n   ", true, ParseStatus::TooFewFields, 8,
     dirs({"a", "b", "c", "d", "e", "f", "g", "h", ""})},

    {"more may follow a field", "a,b", false, ParseStatus::NeedMore, 1, Directories()},
    {"a CR may be followed by its LF", "a\r", false, ParseStatus::NeedMore, 0, Directories()},
    {"an open quote may close later", "a,\"b", false, ParseStatus::NeedMore, 1, Directories()},
    {"nothing after the ninth field is needed", "a,b,c,d,e,f,g,h,\"i\"", false, ParseStatus::Complete, 9, kLetters},
    {"a longest field whose CR ends the piece", std::string(settings::kMaxFieldBytes, 'x') + "\r", false,
     ParseStatus::NeedMore, 0, Directories()},

    {"a field longer than any directory", std::string(settings::kMaxFieldBytes + 1, 'x') + ",b", true,
     ParseStatus::FieldTooLong, 0, Directories()},
    {"an endless field is refused before the end", std::string(settings::kMaxFieldBytes + 1, 'x'), false,
     ParseStatus::FieldTooLong, 0, Directories()},
    {"an endless run of blanks is refused", "a," + std::string(settings::kMaxFieldBytes + 1, ' '), false,
     ParseStatus::FieldTooLong, 1, Directories()},

    {"a NUL byte leaves only its own field empty", std::string("q,a\0b,c,d,e,f,g,h,i\r\n", 20), true,
     ParseStatus::Complete, 9, dirs({"q", "", "c", "d", "e", "f", "g", "h", "i"}), {2}},
    {"a NUL in a field longer than any directory is no settings file",
     "a," + std::string(settings::kMaxFieldBytes + 1, '\0'), false, ParseStatus::HoldsNul, 1, Directories()},
};

void PrintTo(const ParseCase &c, std::ostream *out) { *out << c.name; }

class ParseFields : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseFields, ReadsAsAHandEditedFileIsMeant)
{
    const ParseCase &c = GetParam();
    const auto result = parseFields(c.input, c.endOfFile);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.fieldsRead, c.fieldsRead);
    EXPECT_EQ(result.slotsWithNul, c.slotsWithNul);
    if (c.status == ParseStatus::Complete || c.status == ParseStatus::TooFewFields) {
        EXPECT_EQ(result.directories.values(), c.expected.values());
    }
}

std::string caseName(const ::testing::TestParamInfo<ParseCase> &caseInfo)
{
    std::string name;
    for (const char *p = caseInfo.param.name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseFields, ::testing::ValuesIn(kParseCases), caseName);

TEST(ParseFields, AnyPrefixOfAFileNeedsMoreOrAgreesWithTheWhole)
{
    // The reader feeds the file in pieces; a piece must never be mistaken for the end.
    const std::string file = " \"q, 1\" ,b\r\n\r\nd,\"e\"x,f\rg\nh,i,j\r\n";
    const auto whole = parseFields(file, true);
    ASSERT_EQ(whole.status, ParseStatus::Complete);
    for (std::size_t length = 0; length < file.size(); ++length) {
        const auto part = parseFields(std::string_view(file).substr(0, length), false);
        if (part.status != ParseStatus::NeedMore) {
            EXPECT_EQ(part.status, ParseStatus::Complete) << "prefix of " << length;
            EXPECT_EQ(part.directories, whole.directories) << "prefix of " << length;
        }
    }
}

TEST(FormatLine, JoinsTheNineValuesWithCommasAndEndsWithCrLf)
{
    EXPECT_EQ(settings::formatLine(Directories()), ",,,,,,,,\r\n");
    EXPECT_EQ(settings::formatLine(dirs({"C:\\Quake", "fortress", "ctf", "duel1", "duel2", "duel3", "duel4", "arena",
                                         "requiem"})),
              "C:\\Quake,fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n");
}

// Text beyond ASCII: a POSIX file carries any bytes as they are, while what
// a Windows file holds depends on its code page (settings_file_win_test.cpp).
#ifdef _WIN32
const std::string kUmlauts = "ae oe";
const std::string kNotUtf8 = "ff";
#else
const std::string kUmlauts = "\xC3\xA4\xC3\xB6";
const std::string kNotUtf8 = "\xFF";
#endif

TEST(FormatLine, WhatPassesTheValueCheckReadsBackUnchanged)
{
    const std::vector<Directories> cases = {
        Directories(),
        kLetters,
        dirs({"C:\\Program Files\\Quake\\", "my fortress", "c\"t\"f", kUmlauts, kNotUtf8, "a\tb", "x y z",
              std::string(settings::kMaxFieldBytes, 'q'), "requiem"}),
    };
    for (const Directories &values : cases) {
        for (int slot = 1; slot <= 9; ++slot)
            ASSERT_FALSE(settings::valueProblem(values.slot(slot))) << values.slot(slot);
        const auto read = parseFields(settings::formatLine(values), true);
        EXPECT_EQ(read.status, ParseStatus::Complete);
        EXPECT_EQ(read.directories, values);
    }
}

TEST(ValueProblem, NamesWhatTheFileCannotCarry)
{
    struct Case {
        std::string value;
        const char *reasonPart;  // nullptr: the value is fine
    };
    const std::vector<Case> cases = {
        {"", nullptr},
        {"C:\\Quake", nullptr},
        {"/srv/my quake", nullptr},
        {"ctf\"", nullptr},
        {"a,b", "comma"},
        {"a\rb", "line break"},
        {"a\nb", "line break"},
        {"\"quoted\"", "double quote"},
        {" lead", nullptr},
        {"trail\t", nullptr},
        {" \"quoted\"", "blanks and a double quote"},
        {std::string("a\0b", 3), "NUL byte"},
        {"\xEF\xBB\xBF/srv/quake", "byte-order mark"},
        {std::string(settings::kMaxFieldBytes + 1, 'x'), "longer than 4096"},
    };
    for (const Case &c : cases) {
        const auto problem = settings::valueProblem(c.value);
        if (!c.reasonPart) {
            EXPECT_FALSE(problem) << c.value;
        } else {
            ASSERT_TRUE(problem) << c.value;
            EXPECT_NE(problem->find(c.reasonPart), std::string::npos) << *problem;
        }
    }
}

#ifndef _WIN32
TEST(ValueProblem, APosixFileCarriesAnyText)
{
    for (const std::string value : {"\xF0\x9F\x98\x80", "\xE6\x97\xA5\xE6\x9C\xAC", "\xD0\x96", "\xFF\xFE", "\x80"}) {
        EXPECT_FALSE(settings::encodingProblem(value)) << value;
        EXPECT_FALSE(settings::valueProblem(value)) << value;
    }
}
#endif

}  // namespace
