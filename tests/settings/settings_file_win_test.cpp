// The settings file on Windows: binary reads, the ANSI code page, and a
// replace that leaves the old file whole when it fails.

#include "settings/settings_file.h"
#include "win_api/text.h"
#include "support/windows/win_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <windows.h>

using namespace testing_support;
using settings::Directories;
using settings::ReadFailure;

namespace {

const Directories kSample(std::array<std::string, 9>{"C:\\Quake", "fortress", "ctf", "duel1", "duel2", "duel3", "duel4",
                                                      "arena", "requiem"});
const std::string kSampleLine = "C:\\Quake,fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n";

const Directories kOther(std::array<std::string, 9>{"C:\\Program Files\\Quake", "tf", "", "", "", "", "", "ra", "rq"});

// Holds a file open the way another program might, until it goes.
class OpenElsewhere {
public:
    OpenElsewhere(const std::string &path, DWORD access, DWORD share)
        : m_handle(::CreateFileW(win_api::widen(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~OpenElsewhere()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    OpenElsewhere(const OpenElsewhere &) = delete;
    OpenElsewhere &operator=(const OpenElsewhere &) = delete;
    bool open() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

class SettingsFileWin : public ::testing::Test {
protected:
    TempDir dir;
    std::string cfg = dir.file("tessaro.cfg");
};

TEST_F(SettingsFileWin, WriteThenReadInTheCurrentDirectory)
{
    ScopedCurrentDirectory cd(dir.path());
    const auto written = settings::writeDirectories(kSample);
    ASSERT_TRUE(written.ok()) << written.reason;
    EXPECT_EQ(written.path, cfg);
    EXPECT_EQ(readFile(cfg), kSampleLine);

    const auto read = settings::readDirectories();
    ASSERT_TRUE(read.ok()) << read.reason;
    EXPECT_EQ(read.directories, kSample);
    EXPECT_EQ(read.path, cfg);
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"tessaro.cfg"});
}

TEST_F(SettingsFileWin, LineEndsAreReadAsTheyAreOnEveryPlatform)
{
    struct Case {
        const char *name;
        std::string bytes;
        Directories expected;
    };
    const Directories letters(std::array<std::string, 9>{"a", "b", "c", "d", "e", "f", "g", "h", "i"});
    // Nine fields of 1000 bytes: the ninth starts in the third piece the reader takes.
    Directories wide;
    std::string wideLine;
    for (int slot = 1; slot <= 9; ++slot) {
        wide.slot(slot) = std::string(1000, static_cast<char>('a' + slot));
        wideLine += wide.slot(slot) + (slot < 9 ? "," : "\r\n");
    }
    const std::vector<Case> cases = {
        {"nine lines CR LF", "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\n", letters},
        {"nine lines LF", "a\nb\nc\nd\ne\nf\ng\nh\ni\n", letters},
        {"nine lines CR", "a\rb\rc\rd\re\rf\rg\rh\ri\r", letters},
        {"a quoted CR LF stays in its value", "\"a\r\nb\",,,,,,,,i\r\n",
         Directories(std::array<std::string, 9>{"a\r\nb", "", "", "", "", "", "", "", "i"})},
        {"extra fields and lines are never read", "a,b,c,d,e,f,g,h,i,j\r\nk\r\n", letters},
        {"a line longer than one read", wideLine, wide},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(cfg, c.bytes);
        const auto read = settings::readDirectoriesFrom(cfg);
        ASSERT_TRUE(read.ok()) << read.reason;
        EXPECT_EQ(read.directories, c.expected);
    }
}

TEST_F(SettingsFileWin, AFileAnotherProgramHasOpenForWritingIsStillRead)
{
    writeFile(cfg, kSampleLine);
    OpenElsewhere editor(cfg, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(editor.open());
    const auto read = settings::readDirectoriesFrom(cfg);
    ASSERT_TRUE(read.ok()) << read.reason;
    EXPECT_EQ(read.directories, kSample);
}

TEST_F(SettingsFileWin, TheFileIsInTheAnsiCodePage)
{
    if (::GetACP() != 1252)
        GTEST_SKIP() << "the bytes below are those of code page 1252; this system uses " << ::GetACP();
    // UTF-8 in the program, Windows-1252 in the file: one byte each for ä, é and €.
    Directories values = kSample;
    values.slot(1) = "C:\\Spiele\\Qu\xC3\xA4ke";
    values.slot(2) = "caf\xC3\xA9 \xE2\x82\xAC";
    ASSERT_TRUE(settings::writeDirectoriesTo(cfg, values).ok());
    EXPECT_EQ(readFile(cfg), "C:\\Spiele\\Qu\xE4ke,caf\xE9 \x80,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n");

    const auto read = settings::readDirectoriesFrom(cfg);
    ASSERT_TRUE(read.ok()) << read.reason;
    EXPECT_EQ(read.directories, values);
}

TEST_F(SettingsFileWin, TextTheCodePageCannotHoldIsRefusedBeforeAnythingIsWritten)
{
    if (::GetACP() == CP_UTF8)
        GTEST_SKIP() << "this system's code page is UTF-8, which holds every character";
    struct Case {
        std::string value;
        const char *reasonPart;  // nullptr: the value is fine
        bool only1252;           // whether it depends on the code page being 1252
    };
    const std::vector<Case> cases = {
        {"C:\\Quake", nullptr, false},
        {"emoji \xF0\x9F\x98\x80 here", "contains \"\xF0\x9F\x98\x80\", which this system's code page", false},
        {"not UTF-8 \xFF", "is not UTF-8 text", false},
        {"Qu\xC3\xA4ke \xE2\x82\xAC", nullptr, true},
        {"\xD0\x96\xD0\xB0\xD1\x80", "contains \"\xD0\x96\", which this system's code page (1252)", true},
        {"\xE6\x97\xA5\xE6\x9C\xAC", "contains \"\xE6\x97\xA5\"", true},
    };
    for (const Case &c : cases) {
        if (c.only1252 && ::GetACP() != 1252)
            continue;
        SCOPED_TRACE(c.value);
        const auto problem = settings::valueProblem(c.value);
        if (!c.reasonPart) {
            EXPECT_FALSE(problem) << *problem;
            continue;
        }
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(c.reasonPart), std::string::npos) << *problem;

        writeFile(cfg, kSampleLine);
        Directories values = kOther;
        values.slot(4) = c.value;
        const auto written = settings::writeDirectoriesTo(cfg, values);
        EXPECT_FALSE(written.ok());
        EXPECT_EQ(written.reason.rfind("Nothing was written: directory 4 ", 0), 0u) << written.reason;
        EXPECT_EQ(readFile(cfg), kSampleLine);
    }
}

TEST_F(SettingsFileWin, FailuresSayWhatIsWrongWithWhichFile)
{
    std::unique_ptr<OpenElsewhere> holder;
    struct Case {
        const char *name;
        std::string path;
        std::function<void()> prepare;
        ReadFailure failure;
        std::string reasonPart;
    };
    const std::vector<Case> cases = {
        {"missing", cfg, [] {}, ReadFailure::Missing, "There is no settings file"},
        {"missing directory", dir.file("nowhere\\tessaro.cfg"), [] {}, ReadFailure::Missing,
         "There is no settings file"},
        {"short", cfg, [&] { writeFile(cfg, "C:\\Quake,fortress\r\n"); }, ReadFailure::TooFewFields,
         "holds 2 of the nine"},
        {"empty", cfg, [&] { writeFile(cfg, ""); }, ReadFailure::TooFewFields, "holds none of the nine"},
        {"directory", cfg, [&] { makeDirectory(cfg); }, ReadFailure::NotAFile, "is a directory"},
        {"device", "NUL", [] {}, ReadFailure::NotAFile, "not a regular file"},
        {"binary junk", cfg, [&] { writeFile(cfg, std::string(100000, '\xFF')); }, ReadFailure::FieldTooLong,
         "directory 1 is longer than 4096 bytes"},
        {"held open by a program that shares nothing", cfg,
         [&] {
             writeFile(cfg, kSampleLine);
             holder = std::make_unique<OpenElsewhere>(cfg, GENERIC_READ, 0);
             ASSERT_TRUE(holder->open());
         },
         ReadFailure::Locked, "cannot be read: " + win_api::systemMessage(ERROR_SHARING_VIOLATION) + "."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        holder.reset();
        ::RemoveDirectoryW(win_api::widen(cfg).c_str());
        ::DeleteFileW(win_api::widen(cfg).c_str());
        c.prepare();
        const auto read = settings::readDirectoriesFrom(c.path);
        EXPECT_EQ(read.failure, c.failure);
        EXPECT_NE(read.reason.find(read.path), std::string::npos) << read.reason;
        EXPECT_NE(read.reason.find(c.reasonPart), std::string::npos) << read.reason;
    }
}

// A write that fails must leave the old file as it was and nothing beside it.
TEST_F(SettingsFileWin, FailedWriteLeavesTheOldFileWhole)
{
    std::unique_ptr<OpenElsewhere> holder;
    struct Case {
        const char *name;
        std::function<void()> prepare;
        std::string reasonPart;
    };
    const std::vector<Case> cases = {
        {"read-only file", [&] { ::SetFileAttributesW(win_api::widen(cfg).c_str(), FILE_ATTRIBUTE_READONLY); },
         "Could not replace " + cfg + ": it is read-only."},
        {"file held open by a program that lets nobody replace it",
         [&] {
             holder = std::make_unique<OpenElsewhere>(cfg, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
             ASSERT_TRUE(holder->open());
         },
         "Could not replace " + cfg + ": another program holds it open (close that program, then click Apply again)."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(cfg, kSampleLine);
        c.prepare();

        const auto written = settings::writeDirectoriesTo(cfg, kOther);
        holder.reset();
        ::SetFileAttributesW(win_api::widen(cfg).c_str(), FILE_ATTRIBUTE_NORMAL);

        EXPECT_FALSE(written.ok());
        EXPECT_NE(written.reason.find(c.reasonPart), std::string::npos) << written.reason;
        EXPECT_EQ(readFile(cfg), kSampleLine);
        EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"tessaro.cfg"});
    }
}

TEST_F(SettingsFileWin, AFileThatCannotBeMadeIsReportedWithTheSystemsReason)
{
    makeDirectory(cfg);
    const auto onDirectory = settings::writeDirectoriesTo(cfg, kSample);
    EXPECT_FALSE(onDirectory.ok());
    EXPECT_EQ(onDirectory.reason, "Could not write " + cfg + ": it is not a regular file.");

    const std::string nowhere = dir.file("nowhere");
    const auto inMissingDirectory = settings::writeDirectoriesTo(nowhere + "\\tessaro.cfg", kSample);
    EXPECT_FALSE(inMissingDirectory.ok());
    EXPECT_NE(inMissingDirectory.reason.find("no new file can be made in " + nowhere + " ("), std::string::npos)
        << inMissingDirectory.reason;
    EXPECT_FALSE(exists(nowhere));
}

TEST_F(SettingsFileWin, ReplacingAReaderlessFileKeepsNoTemporaryFile)
{
    // A longer old file, so that a replace that only overwrote would leave its tail.
    writeFile(cfg, kSampleLine + "some,extra,line,that,is,longer,than,the,new,one\r\n");
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(settings::writeDirectoriesTo(cfg, i % 2 ? kSample : kOther).ok());
    EXPECT_EQ(readFile(cfg), settings::formatLine(kSample));
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"tessaro.cfg"});
}

}  // namespace
