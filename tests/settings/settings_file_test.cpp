#include "settings/settings_file.h"
#include "support/syscall_faults.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
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

// A read done in a child with a time limit, so that a read that hangs or
// crashes fails its case instead of the whole run.
struct ChildRead {
    bool finished = false;  // false: it hung (SIGALRM) or crashed
    int signal = 0;
    settings::ReadResult result;
};

ChildRead readInChild(const std::string &path, ChildOptions options = {})
{
    const auto outcome = runInChild(
        [&] {
            const auto read = settings::readDirectoriesFrom(path);
            std::string out = std::to_string(static_cast<int>(read.failure)) + " " + std::to_string(read.fieldsRead)
                + " " + std::to_string(read.reason.size()) + " " + read.reason;
            for (const std::string &value : read.directories.values())
                out += " " + std::to_string(value.size()) + " " + value;
            return out;
        },
        [&] {
            options.timeLimitSeconds = 10;
            return options;
        }());
    ChildRead child;
    child.signal = outcome.signal;
    if (outcome.exitCode != 0)
        return child;
    std::istringstream in(outcome.output);
    const auto sized = [&in] {
        std::size_t size = 0;
        in >> size;
        in.get();
        std::string text(size, '\0');
        in.read(text.data(), static_cast<std::streamsize>(size));
        return text;
    };
    int failure = 0;
    in >> failure >> child.result.fieldsRead;
    child.result.failure = static_cast<ReadFailure>(failure);
    child.result.reason = sized();
    for (int slot = 1; slot <= settings::kSlotCount; ++slot)
        child.result.directories.slot(slot) = sized();
    child.finished = static_cast<bool>(in);
    return child;
}

// A sparse file: `head`, then zeros up to `size` bytes, taking no disk space.
void writeSparse(const std::string &path, const std::string &head, off_t size)
{
    writeFile(path, head);
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

// Keeps appending to a file, as a log or a download does, until stopped.
class GrowingFile {
public:
    GrowingFile() = default;
    GrowingFile(const GrowingFile &) = delete;
    GrowingFile &operator=(const GrowingFile &) = delete;
    ~GrowingFile() { stop(); }

    // Writes `head` bytes at once, so that a read finds more than one field
    // can hold, then 4 KiB a millisecond (slowly, so that a reader without a
    // bound catches up and sees an end instead of filling the disk).
    void start(const std::string &path, std::size_t head)
    {
        writeFile(path, std::string(head, 'x'));
        m_pid = ::fork();
        if (m_pid == 0) {
            ::alarm(60);
            const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            const std::string more(4096, 'x');
            while (fd >= 0 && ::write(fd, more.data(), more.size()) > 0)
                ::usleep(1000);
            ::_exit(0);
        }
    }

    void stop()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

// The name a new file has while it is written beside tessaro.cfg.
bool isHiddenNewFileName(const std::string &name)
{
    const std::string prefix = ".tessaro.cfg.";
    return name.size() == prefix.size() + 12 && name.rfind(prefix, 0) == 0
        && name.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz", prefix.size()) == std::string::npos;
}

// What else lies in `directory` besides tessaro.cfg.
std::vector<std::string> leftoversIn(const std::string &directory)
{
    std::vector<std::string> names = listDirectory(directory);
    std::erase(names, "tessaro.cfg");
    return names;
}

void makeOld(const std::string &path)
{
    const timespec twoHoursAgo{std::time(nullptr) - 2 * 60 * 60, 0};
    const timespec times[2] = {twoHoursAgo, twoHoursAgo};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

const std::vector<long> kRenameCalls = {
#ifdef SYS_rename
    SYS_rename,
#endif
    SYS_renameat, SYS_renameat2};

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

// Each read runs in a child with a time limit: a case that hangs (a pipe
// opened blocking, a file followed to its end) fails instead of stalling.
TEST_F(SettingsFile, FailuresSayWhatIsWrongWithWhichFile)
{
    GrowingFile growing;
    const std::string tooLong = "directory 1 is longer than 4096 bytes";
    const std::string firstHoldsNul = "cannot be read: directory 1 contains a NUL byte";
    struct Case {
        const char *name;
        std::function<void()> prepare;
        ReadFailure failure;
        std::string reasonPart;
        ChildOptions options = {};
    };
    const std::string sticky = dir.file("sticky");
    // A link or file of its own, given to another user.
    const auto nobodys = [](const std::string &path) { ASSERT_EQ(::lchown(path.c_str(), 65534, 65534), 0); };
    std::vector<Case> cases = {
        {"missing", [] {}, ReadFailure::Missing, "There is no settings file"},
        {"short", [&] { writeFile(cfg, "/srv/quake,fortress\r\n"); }, ReadFailure::TooFewFields, "holds 2 of the nine"},
        {"empty", [&] { writeFile(cfg, ""); }, ReadFailure::TooFewFields, "holds none of the nine"},
        {"directory", [&] { ::mkdir(cfg.c_str(), 0755); }, ReadFailure::NotAFile, "is a directory"},
        {"fifo without a writer", [&] { ::mkfifo(cfg.c_str(), 0644); }, ReadFailure::NotAFile, "not a regular file"},
        {"link to a device", [&] { ::symlink("/dev/zero", cfg.c_str()); }, ReadFailure::NotAFile, "not a regular file"},
        {"a socket",
         [&] {
             sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
             cfg.copy(address.sun_path, sizeof address.sun_path - 1);
             const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
             ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
             ::close(listener);
         },
         ReadFailure::NotAFile, "not a regular file"},
        {"no descriptor to spare", [&] { writeFile(cfg, kSampleLine); }, ReadFailure::OutOfFiles,
         "cannot be read: Tessaro has as many files open as it may", {.noSpareDescriptor = true}},
        {"binary junk", [&] { writeFile(cfg, std::string(100000, '\0')); }, ReadFailure::HoldsNul, firstHoldsNul},
        {"a NUL in a directory", [&] { writeFile(cfg, std::string("/srv/quake,fort") + '\0' + "ress" + kSampleLine); },
         ReadFailure::HoldsNul, "cannot be read: directory 2 contains a NUL byte, which no directory name holds"},
        {"link to a sparse terabyte of zeros",
         [&] {
             writeSparse(dir.file("huge"), "", off_t(1) << 40);
             ::symlink("huge", cfg.c_str());
         },
         ReadFailure::HoldsNul, firstHoldsNul},
        {"link to a file that keeps growing",
         [&] {
             growing.start(dir.file("growing"), 3 * settings::kMaxFieldBytes);
             ::symlink("growing", cfg.c_str());
         },
         ReadFailure::FieldTooLong, tooLong},
        {"link to itself", [&] { ::symlink("tessaro.cfg", cfg.c_str()); }, ReadFailure::Unreadable,
         "Too many levels of symbolic links"},
    };
    // Whoever owns the settings decides what a click runs: neither another
    // user's file nor a link of theirs on the way is read.
    if (runningAsRoot()) {
        cases.push_back({"another user's file in a sticky directory",
                         [&] {
                             ::chmod(dir.path().c_str(), 01777);
                             writeFile(cfg, kSampleLine);
                             nobodys(cfg);
                         },
                         ReadFailure::Untrusted, "is not read: it belongs to nobody, not to you or root."});
        cases.push_back({"another user's link to root's file",
                         [&] {
                             writeFile(dir.file("mine"), kSampleLine);
                             ::symlink("mine", cfg.c_str());
                             nobodys(cfg);
                         },
                         ReadFailure::Untrusted, "is not read: it is a symbolic link that belongs to nobody"});
        cases.push_back({"another user's directory link in a sticky directory",
                         [&] {
                             std::filesystem::create_directories(dir.file("elsewhere"));
                             writeFile(dir.file("elsewhere/tessaro.cfg"), kSampleLine);
                             ::mkdir(sticky.c_str(), 01777);
                             ::chmod(sticky.c_str(), 01777);
                             ::symlink("../elsewhere", (sticky + "/dlink").c_str());
                             nobodys(sticky + "/dlink");
                             ::symlink("sticky/dlink/tessaro.cfg", cfg.c_str());
                         },
                         ReadFailure::Untrusted,
                         "the symbolic link " + sticky + "/dlink on its way belongs to nobody, in " + sticky
                             + ", where anyone may put links"});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(cfg);
        std::filesystem::remove_all(sticky);
        c.prepare();
        const ChildRead read = readInChild(cfg, c.options);
        ::chmod(dir.path().c_str(), 0755);
        growing.stop();
        EXPECT_TRUE(read.finished) << "the read hung or crashed: signal " << read.signal;
        EXPECT_EQ(read.result.failure, c.failure);
        EXPECT_NE(read.result.reason.find(cfg), std::string::npos) << read.result.reason;
        EXPECT_NE(read.result.reason.find(c.reasonPart), std::string::npos) << read.result.reason;
    }
}

TEST_F(SettingsFile, OddButWellFormedFilesReadCorrectly)
{
    const std::string longest(settings::kMaxFieldBytes, 'q');
    struct Case {
        const char *name;
        std::function<void()> prepare;
        Directories expected;
    };
    const std::vector<Case> cases = {
        {"invalid UTF-8", [&] { writeFile(cfg, "/srv/qu\xC3\xA4ke,\xFF\xFE,ab,d,e,f,g,h,i\r\n"); },
         Directories({"/srv/qu\xC3\xA4ke", "\xFF\xFE", "ab", "d", "e", "f", "g", "h", "i"})},
        {"ten thousand empty lines", [&] { writeFile(cfg, std::string(10000, '\n')); }, Directories()},
        {"CR-only line ends", [&] { writeFile(cfg, "/srv/quake\rfortress\rctf\rduel1\rduel2\rduel3\rduel4\rarena\rrequiem\r"); },
         kSample},
        // The reader takes the file in pieces of 4 KiB: a CR LF split between
        // two pieces is one line end, not two.
        {"a CR LF split between two reads",
         [&] { writeFile(cfg, std::string(4095, 'q') + "\r\nfortress,ctf,duel1,duel2,duel3,duel4,arena,requiem\r\n"); },
         Directories({std::string(4095, 'q'), "fortress", "ctf", "duel1", "duel2", "duel3", "duel4", "arena",
                      "requiem"})},
        {"a longest directory whose CR ends a read",
         [&] { writeFile(cfg, std::string(4094, 'a') + "," + longest + "\r\nctf,duel1,duel2,duel3,duel4,arena,requiem\r\n"); },
         Directories({std::string(4094, 'a'), longest, "ctf", "duel1", "duel2", "duel3", "duel4", "arena", "requiem"})},
        {"a file of its own in a sticky directory",
         [&] {
             ::chmod(dir.path().c_str(), 01777);
             writeFile(cfg, kSampleLine);
         },
         kSample},
        {"a settings line followed by a terabyte",
         [&] {
             writeSparse(dir.file("huge"), kSampleLine, off_t(1) << 40);
             ::symlink("huge", cfg.c_str());
         },
         kSample},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(cfg);
        std::filesystem::remove_all(dir.file("huge"));
        c.prepare();
        const ChildRead read = readInChild(cfg);
        ::chmod(dir.path().c_str(), 0755);
        EXPECT_TRUE(read.finished) << "the read hung or crashed: signal " << read.signal;
        EXPECT_TRUE(read.result.ok()) << read.result.reason;
        EXPECT_EQ(read.result.directories, c.expected);
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

// A write that fails must leave the old file as it was (or no file, where
// there was none) and nothing beside it, and say which.  Another user's
// links aim at this user's file elsewhere, or at a name only it may create.
TEST_F(SettingsFile, FailedWriteLeavesTheOldFileWhole)
{
    TempDir elsewhere;
    const std::string mine = elsewhere.file("settings.cfg");
    writeFile(mine, kSampleLine);
    // All that a write could change: the file or link, a file elsewhere, new names.
    const auto state = [&] {
        std::error_code noLink;
        return std::filesystem::read_symlink(cfg, noLink).string() + readFile(cfg) + readFile(mine)
            + std::to_string(listDirectory(dir.path()).size() + listDirectory(elsewhere.path()).size());
    };
    const auto plantLink = [&](const std::string &target) {
        return [&, target] {
            ::chmod(dir.path().c_str(), 0777);
            runInChild([&] { return std::to_string(::symlink(target.c_str(), cfg.c_str())); }, {.unprivileged = true});
        };
    };
    const std::string othersLink = ": it is a symbolic link that belongs to nobody";
    struct Case {
        const char *name;
        mode_t directoryMode;
        mode_t fileMode;
        ChildOptions options;
        std::string reasonPart;
        std::function<void()> instead = {};  // of writing the old file
        bool previousFileKept = true;
    };
    std::vector<Case> cases = {
        {"file-size limit", 0755, 0644, {.fileSizeLimit = 20}, "File too large"},
        {"file-size limit on the in-place path", 0555, 0666, {.unprivileged = true, .fileSizeLimit = 20},
         "File too large"},
        {"write-protected file, also for root", 0755, 0444, {},
         ": it is read-only (chmod u+w " + cfg + " allows writing)."},
        {"link loop", 0755, 0, {}, "Too many levels of symbolic links",
         [&] { ::symlink("tessaro.cfg", cfg.c_str()); }},
        {"no file yet", 0555, 0, {.unprivileged = true}, "Permission denied", [] {}, false},
    };
    if (runningAsRoot()) {
        // Root's file, written as nobody: to its own file a user may write in place.
        cases.push_back({"read-only directory and file", 0555, 0644, {.unprivileged = true}, "Permission denied"});
        cases.push_back({"another user's link in a sticky directory", 01777, 0, {}, othersLink, plantLink(mine)});
        cases.push_back({"another user's link to a new file", 01777, 0, {}, othersLink, plantLink(mine + ".new")});
        cases.push_back({"another user's link in a writable directory", 0777, 0, {}, othersLink, plantLink(mine)});
        // Root's own link, through another user's directory link in a sticky directory.
        cases.push_back({"another user's directory link on the way", 0755, 0, {},
                         "/sticky/dlink on its way belongs to nobody, in " + dir.file("sticky"), [&] {
                             ::mkdir(dir.file("sticky").c_str(), 01777);
                             ::chmod(dir.file("sticky").c_str(), 01777);
                             ::symlink(elsewhere.path().c_str(), dir.file("sticky/dlink").c_str());
                             ASSERT_EQ(::lchown(dir.file("sticky/dlink").c_str(), 65534, 65534), 0);
                             ::symlink("sticky/dlink/settings.cfg", cfg.c_str());
                         }});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(cfg);
        if (c.instead) {
            c.instead();
        } else {
            writeFile(cfg, kSampleLine);
            ::chmod(cfg.c_str(), c.fileMode);
        }
        ::chmod(dir.path().c_str(), c.directoryMode);
        const std::string before = state();

        const auto outcome = runInChild(
            [&] {
                // Longer than the old line, so that the limit bites.
                Directories longer = kOther;
                longer.slot(9) = std::string(200, 'r');
                const auto written = settings::writeDirectoriesTo(cfg, longer);
                return written.ok() ? std::string("written")
                                    : (written.previousFileKept ? "kept " : "") + written.reason;
            },
            c.options);

        ::chmod(dir.path().c_str(), 0755);
        ASSERT_EQ(outcome.exitCode, 0) << "signal " << outcome.signal;
        EXPECT_NE(outcome.output.find(c.reasonPart), std::string::npos) << outcome.output;
        EXPECT_EQ(outcome.output.starts_with("kept "), c.previousFileKept) << outcome.output;
        EXPECT_EQ(state(), before);
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

TEST_F(SettingsFile, FirstFileTakesTheUmaskButNeverLetsOthersWrite)
{
    struct Case {
        mode_t umask;
        mode_t mode;
    };
    for (const Case c : {Case{027, 0640}, Case{022, 0644}, Case{077, 0600}, Case{0, 0664}}) {
        std::filesystem::remove(cfg);
        const mode_t previous = ::umask(c.umask);
        const auto written = settings::writeDirectoriesTo(cfg, kSample);
        ::umask(previous);
        ASSERT_TRUE(written.ok()) << written.reason;
        EXPECT_EQ(modeOf(cfg), c.mode) << std::oct << c.umask;
    }
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


// The writer is killed (as by a power cut) at each step before its rename.
TEST_F(SettingsFile, AWriteKilledBeforeItsRenameLeavesTheOldFileWhole)
{
    struct Case {
        const char *name;
        std::vector<long> calls;
        bool newFileWritten;  // whether the new file was complete when the writer died
    };
    const std::vector<Case> cases = {
        {"before the first byte", {SYS_write, SYS_pwrite64}, false},
        {"before the flush", {SYS_fsync, SYS_fdatasync}, true},
        {"before the rename", kRenameCalls, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string &name : leftoversIn(dir.path()))
            std::filesystem::remove(dir.file(name));
        writeFile(cfg, kSampleLine);
        ::chmod(cfg.c_str(), 0666);

        const auto outcome = runInChild([&] {
            dieOnSystemCalls(c.calls);
            settings::writeDirectoriesTo(cfg, kOther);
            return std::string("the writer was not killed");
        });

        EXPECT_EQ(outcome.signal, SIGSYS) << outcome.output;
        EXPECT_EQ(readFile(cfg), kSampleLine);
        // What the killed write leaves beside it: its hidden new file, with
        // the old file's permissions less others' write, never a mix.
        const auto leftovers = leftoversIn(dir.path());
        ASSERT_EQ(leftovers.size(), 1u);
        EXPECT_TRUE(isHiddenNewFileName(leftovers[0])) << leftovers[0];
        EXPECT_EQ(modeOf(dir.file(leftovers[0])), 0664u);
        EXPECT_EQ(readFile(dir.file(leftovers[0])), c.newFileWritten ? settings::formatLine(kOther) : "");
    }
}

// Another process plants a link to a file of its choice under the name the
// writer is about to create, as if it had guessed the name or won a race.
TEST_F(SettingsFile, ALinkPlantedWhereTheNewFileGoesIsNeverFollowed)
{
    const std::string victim = dir.file("victim");
    writeFile(victim, "precious\n");
    writeFile(cfg, kSampleLine);

    const auto outcome = runInChild(
        [&] {
            std::vector<std::string> created;
            const std::string written = interceptFileCreation(
                [&](const std::string &path) {
                    created.push_back(path);
                    if (created.size() == 1)
                        ::symlink(victim.c_str(), path.c_str());
                },
                [&] {
                    std::string results;
                    for (const Directories &values : {kOther, kSample}) {
                        const auto result = settings::writeDirectoriesTo(cfg, values);
                        results += (result.ok() ? "written" : result.reason) + ";";
                    }
                    return results;
                });
            std::string out = written;
            for (const std::string &path : created)
                out += "\n" + path;
            return out;
        },
        {.timeLimitSeconds = 10});

    ASSERT_EQ(outcome.exitCode, 0) << "signal " << outcome.signal;
    std::istringstream lines(outcome.output);
    std::string results;
    std::getline(lines, results);
    EXPECT_EQ(results, "written;written;");
    EXPECT_EQ(readFile(victim), "precious\n");
    EXPECT_EQ(readFile(cfg), kSampleLine);

    // Created afresh in the same directory (so the rename cannot cross file
    // systems), under a name no one could have predicted.
    std::set<std::string> names;
    for (std::string path; std::getline(lines, path);) {
        const std::filesystem::path created(path);
        EXPECT_EQ(created.parent_path().string(), dir.path());
        EXPECT_TRUE(isHiddenNewFileName(created.filename().string())) << path;
        names.insert(path);
    }
    EXPECT_EQ(names.size(), 3u) << "the planted name, the retry, and the second write's name";
}

TEST_F(SettingsFile, ALaterWriteClearsOnlyLeftoversThatAreSurelyItsOwn)
{
    writeFile(cfg, kSampleLine);
    const auto killed = runInChild([&] {
        dieOnSystemCalls(kRenameCalls);
        settings::writeDirectoriesTo(cfg, kOther);
        return std::string("the writer was not killed");
    });
    ASSERT_EQ(killed.signal, SIGSYS);
    const auto crashed = leftoversIn(dir.path());
    ASSERT_EQ(crashed.size(), 1u);
    makeOld(dir.file(crashed[0]));

    const auto oldFile = [&](const std::string &path) {
        writeFile(path, kSampleLine);
        makeOld(path);
    };
    struct Kept {
        const char *name;
        std::function<void(const std::string &path)> make;
    };
    std::vector<Kept> kept = {
        {".tessaro.cfg.recent000000", [](const std::string &path) { writeFile(path, kSampleLine); }},
        {".tessaro.cfg.AAAAAAAAAAAA", oldFile},
        {".tessaro.cfg.abc", oldFile},
        {".tessaro.cfg.abcdefghijklm", oldFile},
        {".other.cfg.aaaaaaaaaaaa", oldFile},
        {".tessaro.cfg.link00000000",
         [&](const std::string &path) {
             ::symlink(cfg.c_str(), path.c_str());
             makeOld(path);
         }},
        {".tessaro.cfg.dir000000000",
         [](const std::string &path) {
             ::mkdir(path.c_str(), 0755);
             makeOld(path);
         }},
        {".tessaro.cfg.hardlink0000",
         [&](const std::string &path) {
             oldFile(path);
             ::link(path.c_str(), dir.file("second name").c_str());
         }},
    };
    if (runningAsRoot()) {
        kept.push_back({".tessaro.cfg.nobody000000", [&](const std::string &path) {
                            oldFile(path);
                            ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
                        }});
    }
    for (const Kept &k : kept)
        k.make(dir.file(k.name));

    ASSERT_TRUE(settings::writeDirectoriesTo(cfg, kSample).ok());
    EXPECT_FALSE(exists(dir.file(crashed[0])));
    for (const Kept &k : kept)
        EXPECT_TRUE(exists(dir.file(k.name))) << k.name;
}

}  // namespace
