#include "settings/settings_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;
using settings::Directories;
using settings::ReadFailure;

namespace {

const Directories kSample(std::array<std::string, 9>{"/srv/quake", "fortress", "ctf", "duel1", "duel2", "duel3",
                                                      "duel4", "arena", "requiem"});
const std::string kSampleLine = "/srv/quake,fortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n";

const Directories kOther(std::array<std::string, 9>{"/opt/quake with blanks", "tf", "", "", "", "", "", "ra", "rq"});

mode_t modeOf(const std::string &path)
{
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

class SettingsFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string cfg = dir.file("tessaro.cfg");
};

TEST_F(SettingsFile, WriteThenReadInTheCurrentDirectory)
{
    ScopedCurrentDirectory cd(dir.path());
    ASSERT_TRUE(settings::writeDirectories(kSample).ok());
    EXPECT_EQ(readFile(cfg), kSampleLine);

    const auto read = settings::readDirectories();
    ASSERT_TRUE(read.ok()) << read.reason;
    EXPECT_EQ(read.directories, kSample);
    EXPECT_EQ(read.path, cfg);
}

TEST_F(SettingsFile, ApplyDropsFieldsBeyondTheNinth)
{
    writeFile(cfg, "a,b,c,d,e,f,g,h,i,extra,more\r\nlines\r\n");
    const auto read = settings::readDirectoriesFrom(cfg);
    ASSERT_TRUE(read.ok());
    ASSERT_TRUE(settings::writeDirectoriesTo(cfg, read.directories).ok());
    EXPECT_EQ(readFile(cfg), "a,b,c,d,e,f,g,h,i\r\n");
}

TEST_F(SettingsFile, FailuresSayWhatIsWrongWithWhichFile)
{
    struct Case {
        const char *name;
        std::function<void()> prepare;
        ReadFailure failure;
        const char *reasonPart;
    };
    const std::vector<Case> cases = {
        {"missing", [] {}, ReadFailure::Missing, "There is no settings file"},
        {"short", [&] { writeFile(cfg, "/srv/quake,fortress\r\n"); }, ReadFailure::TooFewFields, "holds 2 of the nine"},
        {"empty", [&] { writeFile(cfg, ""); }, ReadFailure::TooFewFields, "holds none of the nine"},
        {"directory", [&] { ::mkdir(cfg.c_str(), 0755); }, ReadFailure::NotAFile, "is a directory"},
        {"fifo without a writer", [&] { ::mkfifo(cfg.c_str(), 0644); }, ReadFailure::NotAFile, "not a regular file"},
        {"link to a device", [&] { ::symlink("/dev/zero", cfg.c_str()); }, ReadFailure::NotAFile, "not a regular file"},
        {"binary junk", [&] { writeFile(cfg, std::string(100000, '\0')); }, ReadFailure::FieldTooLong,
         "directory 1 is longer than 4096 bytes"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(cfg);
        c.prepare();
        const auto read = settings::readDirectoriesFrom(cfg);
        EXPECT_EQ(read.failure, c.failure);
        EXPECT_NE(read.reason.find(cfg), std::string::npos) << read.reason;
        EXPECT_NE(read.reason.find(c.reasonPart), std::string::npos) << read.reason;
    }
}

TEST_F(SettingsFile, ShortFileKeepsWhatItCouldRead)
{
    writeFile(cfg, "/srv/quake,fortress,ctf\r\n");
    const auto read = settings::readDirectoriesFrom(cfg);
    EXPECT_EQ(read.failure, ReadFailure::TooFewFields);
    EXPECT_EQ(read.fieldsRead, 3);
    EXPECT_EQ(read.directories.slot(1), "/srv/quake");
    EXPECT_EQ(read.directories.slot(3), "ctf");
}

TEST_F(SettingsFile, UnreadableFileIsReportedWithTheSystemsReason)
{
    writeFile(cfg, kSampleLine);
    ::chmod(cfg.c_str(), 0200);
    const auto outcome = runInChild([&] { return settings::readDirectoriesFrom(cfg).reason; }, {.unprivileged = true});
    ASSERT_EQ(outcome.exitCode, 0);
    EXPECT_NE(outcome.output.find("cannot be read: Permission denied"), std::string::npos) << outcome.output;
}

// A write that fails must leave the old file as it was and nothing beside it.
TEST_F(SettingsFile, FailedWriteLeavesTheOldFileWhole)
{
    struct Case {
        const char *name;
        mode_t directoryMode;
        mode_t fileMode;
        ChildOptions options;
        const char *reasonPart;
    };
    const std::vector<Case> cases = {
        {"read-only directory and file", 0555, 0444, {.unprivileged = true}, "Permission denied"},
        {"file-size limit", 0755, 0644, {.fileSizeLimit = 20}, "File too large"},
        {"file-size limit on the in-place path", 0555, 0666, {.unprivileged = true, .fileSizeLimit = 20},
         "File too large"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(cfg, kSampleLine);
        ::chmod(cfg.c_str(), c.fileMode);
        ::chmod(dir.path().c_str(), c.directoryMode);

        const auto outcome = runInChild(
            [&] {
                // Longer than the old line, so that the limit bites.
                Directories longer = kOther;
                longer.slot(9) = std::string(200, 'r');
                const auto written = settings::writeDirectoriesTo(cfg, longer);
                return written.ok() ? std::string("written") : written.reason;
            },
            c.options);

        ::chmod(dir.path().c_str(), 0755);
        ASSERT_EQ(outcome.exitCode, 0) << "signal " << outcome.signal;
        EXPECT_NE(outcome.output.find(c.reasonPart), std::string::npos) << outcome.output;
        EXPECT_EQ(readFile(cfg), kSampleLine);
        EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"tessaro.cfg"});
    }
}

TEST_F(SettingsFile, ReadOnlyDirectoryWithAWritableFileIsRewrittenInPlace)
{
    writeFile(cfg, kSampleLine + "some,extra,line,that,is,longer,than,the,new,one\r\n");
    ::chmod(cfg.c_str(), 0666);
    ::chmod(dir.path().c_str(), 0555);
    const auto outcome = runInChild(
        [&] {
            const auto written = settings::writeDirectoriesTo(cfg, kOther);
            return written.ok() ? std::string("written") : written.reason;
        },
        {.unprivileged = true});
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(outcome.output, "written");
    EXPECT_EQ(readFile(cfg), settings::formatLine(kOther));
}

TEST_F(SettingsFile, ReplacingKeepsPermissionsButNeverLetsOthersWrite)
{
    struct Case {
        mode_t before;
        mode_t after;
    };
    for (const Case c : {Case{0640, 0640}, Case{0600, 0600}, Case{0666, 0664}, Case{0644, 0644}}) {
        writeFile(cfg, kSampleLine);
        ::chmod(cfg.c_str(), c.before);
        ASSERT_TRUE(settings::writeDirectoriesTo(cfg, kOther).ok());
        EXPECT_EQ(modeOf(cfg), c.after) << std::oct << c.before;
    }
}

TEST_F(SettingsFile, FirstFileTakesTheUmask)
{
    const mode_t previous = ::umask(027);
    const auto written = settings::writeDirectoriesTo(cfg, kSample);
    ::umask(previous);
    ASSERT_TRUE(written.ok());
    EXPECT_EQ(modeOf(cfg), 0640u);
}

TEST_F(SettingsFile, LinkedSettingsReplaceTheTargetAndKeepTheLink)
{
    ::mkdir(dir.file("real").c_str(), 0755);
    const std::string target = dir.file("real/settings.cfg");
    writeFile(target, kSampleLine);
    ASSERT_EQ(::symlink("real/settings.cfg", cfg.c_str()), 0);

    ASSERT_TRUE(settings::writeDirectoriesTo(cfg, kOther).ok());
    struct stat status {};
    ::lstat(cfg.c_str(), &status);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(readFile(target), settings::formatLine(kOther));
    EXPECT_EQ(listDirectory(dir.file("real")), std::vector<std::string>{"settings.cfg"});
}

TEST_F(SettingsFile, ValuesTheFileCannotCarryAreRefusedAndNothingIsWritten)
{
    writeFile(cfg, kSampleLine);
    Directories bad = kOther;
    bad.slot(3) = "ctf,extra";
    const auto written = settings::writeDirectoriesTo(cfg, bad);
    EXPECT_FALSE(written.ok());
    EXPECT_NE(written.reason.find("directory 3 contains a comma"), std::string::npos) << written.reason;
    EXPECT_EQ(readFile(cfg), kSampleLine);
}

}  // namespace
