#include "settings/settings_file.h"
#include "settings/settings_file_common.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <optional>
#include <vector>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/stat.h>
#include <unistd.h>

namespace settings {

namespace {

// The in-place fallback keeps a copy of the old file to put back on failure;
// a settings file is a few hundred bytes.
constexpr std::size_t kMaxInPlaceBytes = 64 * 1024;

// A write killed between creating its new file and the rename leaves that
// file behind.  One untouched this long is no write still in progress.
constexpr std::time_t kLeftoverAgeSeconds = 60 * 60;

// As many links as the kernel follows in one path.
constexpr int kMaxLinkHops = 40;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    FileDescriptor(FileDescriptor &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    ~FileDescriptor() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    // Closes and says whether the close itself succeeded (it can report a
    // failed write-back on some file systems).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string osReason(int error) { return std::strerror(error); }

// For calls whose failure changes nothing for the user; taking the result
// here says so (a (void) cast does not satisfy the library's unused-result check).
void bestEffort(int) {}

std::string displayPath(const std::string &path)
{
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string directoryOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string userName(uid_t uid)
{
    const passwd *user = ::getpwuid(uid);
    return user ? user->pw_name : "user " + std::to_string(uid);
}

// `text` as one word in a shell command that a message suggests.
std::string shellWord(const std::string &text)
{
    constexpr std::string_view plain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-";
    if (!text.empty() && text.find_first_not_of(plain) == std::string::npos)
        return text;
    std::string word = "'";
    for (const char c : text)
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

// Settings decide which program runs: a path to them may pass only through
// links that the user, or root, put there.  What reading asks besides:
// another user's settings file is not read at all.  What writing asks
// besides: the file's own links are the user's, since the new file is made
// by this user where they point.
enum class Purpose { Reading, Writing };

bool ownerTrusted(uid_t owner) { return owner == ::geteuid() || owner == 0; }

// The kernel's fs.protected_symlinks, applied whatever the sysctl says: in a
// directory where anyone may create files (sticky and writable by all), a
// link is followed only by its owner, or when the directory's owner made it.
bool followableWhereItStands(const struct stat &link, const struct stat &directory)
{
    const bool openToAll = (directory.st_mode & S_ISVTX) && (directory.st_mode & S_IWOTH);
    return !openToAll || link.st_uid == ::geteuid() || link.st_uid == directory.st_uid;
}

std::string joined(const std::string &directory, const std::string &name)
{
    return directory == "/" ? "/" + name : directory + "/" + name;
}

// The names of a path, in order; "." and empty ones (doubled slashes) dropped.
void pushNames(std::deque<std::string> &names, std::string_view path)
{
    std::vector<std::string> found;
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view name = path.substr(0, slash);
        if (!name.empty() && name != ".")
            found.emplace_back(name);
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
    }
    names.insert(names.begin(), found.begin(), found.end());
}

// Where a path leads: the directory that holds its last name, and what that
// name is.  The last name is never a link: links are followed here, one at a
// time, each judged before it is followed.
struct Located {
    FileDescriptor directory;           // an O_PATH descriptor of it, or AT_FDCWD
    std::string directoryPath;          // as a person would find it
    std::string name;
    std::optional<struct stat> status;  // nothing: there is no such entry (yet)
    bool kernelsLink = false;           // `name` is a link of /proc, which only the kernel can follow
};

// Why a path was not followed to its end: the system's errno, or, with
// errno 0, Tessaro's own refusal of a link, in words.
struct NotFollowed {
    int error = 0;
    std::string reason;
};

std::optional<NotFollowed> locate(const std::string &path, Purpose purpose, Located &located)
{
    const bool absolute = !path.empty() && path.front() == '/';
    std::error_code noDirectory;
    std::string where = absolute ? "/" : std::filesystem::current_path(noDirectory).string();
    if (where.empty())
        where = ".";  // deleted under the program: nothing will be found there anyway
    // The current directory needs no descriptor of its own: tessaro.cfg in it
    // is read with no more than the one file open, as Tessaro may have no
    // more than that to spare.
    FileDescriptor current(absolute ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC) : AT_FDCWD);
    if (absolute && !current.valid())
        return NotFollowed{errno, {}};
    std::deque<std::string> names;
    pushNames(names, path);
    int links = 0;
    while (!names.empty()) {
        const std::string name = std::move(names.front());
        names.pop_front();
        const bool last = names.empty();
        FileDescriptor entry(::openat(current.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (!entry.valid() || ::fstat(entry.get(), &status) != 0) {
            if (errno != ENOENT || !last)
                return NotFollowed{errno, {}};
            located = {std::move(current), where, name, std::nullopt, false};
            return std::nullopt;
        }
        // A link of /proc names no path (/proc/self/fd/3 is a descriptor):
        // the kernel, which made it, follows it.
        struct statfs fileSystem {};
        const bool kernelsLink = S_ISLNK(status.st_mode)
            && (current.get() == AT_FDCWD ? ::statfs(".", &fileSystem) : ::fstatfs(current.get(), &fileSystem)) == 0
            && fileSystem.f_type == PROC_SUPER_MAGIC;
        if (kernelsLink) {
            entry = FileDescriptor(::openat(current.get(), name.c_str(), O_PATH | O_CLOEXEC));
            if (!entry.valid() || ::fstat(entry.get(), &status) != 0)
                return NotFollowed{errno, {}};
        }
        if (S_ISLNK(status.st_mode)) {
            if (++links > kMaxLinkHops)
                return NotFollowed{ELOOP, {}};
            struct stat directory {};
            if (::fstatat(current.get(), ".", &directory, 0) != 0)
                return NotFollowed{errno, {}};
            const std::string which = last && links == 1
                ? "it is a symbolic link that"
                : "the symbolic link " + joined(where, name) + " on its way";
            // The owner's name is looked up only for a refusal: a link that is
            // followed costs no read of the user database.
            const auto refused = [&](const char *why) {
                return NotFollowed{0, which + " belongs to " + userName(status.st_uid) + why};
            };
            if (!followableWhereItStands(status, directory))
                return NotFollowed{0, refused(", in ").reason + where + ", where anyone may put links"};
            if (!ownerTrusted(status.st_uid))
                return refused(", not to you or root");
            if (purpose == Purpose::Writing && last && status.st_uid != ::geteuid())
                return refused(", and Tessaro writes only through links of your own");
            char target[PATH_MAX];
            const ssize_t length = ::readlinkat(entry.get(), "", target, sizeof target);
            if (length <= 0 || static_cast<std::size_t>(length) == sizeof target)
                return NotFollowed{length < 0 ? errno : ENAMETOOLONG, {}};
            const std::string_view next(target, static_cast<std::size_t>(length));
            if (next.front() == '/') {
                current = FileDescriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                where = "/";
            }
            pushNames(names, next);
            if (names.empty())  // a link to "/" or "."
                names.emplace_back(".");
            continue;
        }
        if (last) {
            located = {std::move(current), where, name, status, kernelsLink};
            return std::nullopt;
        }
        if (!S_ISDIR(status.st_mode))
            return NotFollowed{ENOTDIR, {}};
        current = std::move(entry);
        if (name == "..")
            where = where == "/" ? where : where.substr(0, std::max<std::size_t>(where.rfind('/'), 1));
        else
            where = joined(where, name);
    }
    // The path names a directory itself ("/", "."): its entry "." stands for it.
    struct stat status {};
    if (::fstatat(current.get(), ".", &status, 0) != 0)
        return NotFollowed{errno, {}};
    located = {std::move(current), where, ".", status, false};
    return std::nullopt;
}

bool writeAll(int fd, std::string_view bytes, off_t offset)
{
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += written;
    }
    return true;
}

// Creates a file no one else can have prepared: a random name, created
// exclusively, never through a link, in `directory`.
FileDescriptor createUniqueFile(int directory, mode_t mode, std::string &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = detail::temporaryName();
        FileDescriptor fd(::openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (fd.valid() || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return FileDescriptor();
}

// Removes new files that earlier writes left behind when they were killed
// before the rename, and only those: exactly the hidden name such a write
// uses, a plain file with no other name, owned by this user, untouched for an
// hour.  Anything else by such a name may be someone else's and stays.
void removeLeftovers(int directory)
{
    const int fd = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR *entries = ::fdopendir(fd);
    if (!entries) {
        ::close(fd);
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent *entry = ::readdir(entries)) {
        if (!detail::isTemporaryName(entry->d_name))
            continue;
        struct stat status {};
        if (::fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode)
            && status.st_nlink == 1 && status.st_uid == ::geteuid() && now - status.st_mtime > kLeftoverAgeSeconds)
            bestEffort(::unlinkat(fd, entry->d_name, 0));
    }
    ::closedir(entries);  // closes fd as well
}

// When the directory takes no new file but tessaro.cfg itself is writable,
// rewrite it where it is.  The space is reserved first so that the usual
// failures (disk full, file-size limit) happen before anything changes, and
// the old bytes go back if the write fails all the same.
bool rewriteInPlace(const Located &target, const std::string &line, WriteResult &result)
{
    // The target was checked as a file, not a link; a link put there since is not followed.
    FileDescriptor fd(::openat(target.directory.get(), target.name.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    if (!fd.valid())
        return false;

    std::string old(kMaxInPlaceBytes + 1, '\0');
    const ssize_t oldLength = ::pread(fd.get(), old.data(), old.size(), 0);
    if (oldLength < 0 || static_cast<std::size_t>(oldLength) > kMaxInPlaceBytes) {
        result.reason = "Could not rewrite " + result.path + " in place: "
            + (oldLength < 0 ? osReason(errno) : "it is far larger than a settings file") + ".";
        return true;
    }
    old.resize(static_cast<std::size_t>(oldLength));

    const auto newLength = static_cast<off_t>(line.size());
    if (line.size() > old.size()) {
        const int error = ::posix_fallocate(fd.get(), 0, newLength);
        if (error != 0 && error != EOPNOTSUPP && error != EINVAL) {
            result.reason = detail::writeFailedReason(result.path, osReason(error));
            return true;
        }
    }
    if (!writeAll(fd.get(), line, 0) || ::ftruncate(fd.get(), newLength) != 0 || ::fsync(fd.get()) != 0) {
        const int error = errno;
        result.previousFileKept
            = writeAll(fd.get(), old, 0) && ::ftruncate(fd.get(), static_cast<off_t>(old.size())) == 0;
        result.reason = detail::writeFailedReason(result.path, osReason(error));
        return true;
    }
    if (!fd.close()) {
        result.reason = detail::writeFailedReason(result.path, osReason(errno));
        return true;
    }
    result.written = true;
    return true;
}

// Why the system could not open a file, for a person: running out of
// descriptors is Tessaro's state, not the file's.
std::string openFailure(int error)
{
    if (error == EMFILE) {
        rlimit limit {};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        return "Tessaro has as many files open as it may (" + std::to_string(limit.rlim_cur) + ")";
    }
    if (error == ENFILE)
        return "the system has as many files open as it can";
    return osReason(error);
}

ReadFailure openFailureKind(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return ReadFailure::Missing;
    if (error == EMFILE || error == ENFILE)
        return ReadFailure::OutOfFiles;
    return ReadFailure::Unreadable;
}

// How the user makes another user's settings their own: a copy of their own
// in place where the directory lets them replace the entry, else a copy in a
// directory of theirs.
std::string copyOfYourOwn(const std::string &path, const std::string &displayed)
{
    const std::string directory = directoryOf(path);
    struct stat entry {}, holder {};
    const bool replaceable = ::lstat(path.c_str(), &entry) == 0 && ::stat(directory.c_str(), &holder) == 0
        && ::access(directory.c_str(), W_OK | X_OK) == 0
        && (!(holder.st_mode & S_ISVTX) || entry.st_uid == ::geteuid() || holder.st_uid == ::geteuid());
    const std::string file = shellWord(displayed);
    if (replaceable)
        return "make a copy of your own in its place: cp " + file + " " + file + ".mine && mv " + file + ".mine "
            + file;
    return "copy it into a directory of your own and start Tessaro there: mkdir -p ~/quake && cp " + file
        + " ~/quake/ && cd ~/quake && tessaro";
}

}  // namespace

// The file carries the values' bytes as they are, so every value fits.
std::optional<std::string> encodingProblem(std::string_view) { return std::nullopt; }

ReadResult readDirectories() { return readDirectoriesFrom(kFileName); }

ReadResult readDirectoriesFrom(const std::string &path)
{
    ReadResult result;
    result.path = displayPath(path);
    const auto fail = [&](ReadFailure failure, std::string reason) {
        result.failure = failure;
        result.reason = std::move(reason);
        return result;
    };

    Located file;
    if (auto notFollowed = locate(path, Purpose::Reading, file)) {
        if (notFollowed->error == 0) {
            result.remedy = copyOfYourOwn(path, result.path);
            return fail(ReadFailure::Untrusted, result.path + " is not read: " + notFollowed->reason + ".");
        }
        const ReadFailure kind = openFailureKind(notFollowed->error);
        return fail(kind, kind == ReadFailure::Missing ? detail::missingReason(result.path)
                                                       : detail::unreadableReason(result.path,
                                                                                  openFailure(notFollowed->error)));
    }
    // Looked at before it is opened: a socket cannot be opened, and a pipe
    // with no writer would hold the window.
    if (!file.status)
        return fail(ReadFailure::Missing, detail::missingReason(result.path));
    if (!S_ISREG(file.status->st_mode))
        return fail(ReadFailure::NotAFile, S_ISDIR(file.status->st_mode) ? detail::directoryReason(result.path)
                                                                         : detail::notAFileReason(result.path));

    // Non-blocking and never through a link, should the file have been
    // replaced by something else since.
    FileDescriptor fd(::openat(file.directory.get(), file.name.c_str(),
                               O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (file.kernelsLink ? 0 : O_NOFOLLOW)));
    struct stat status {};
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0) {
        const int error = errno;
        return fail(openFailureKind(error), error == ENOENT ? detail::missingReason(result.path)
                                                            : detail::unreadableReason(result.path, openFailure(error)));
    }
    if (!S_ISREG(status.st_mode))
        return fail(ReadFailure::NotAFile, detail::notAFileReason(result.path));
    // Whoever owns the settings chooses the program that a click runs.
    if (!ownerTrusted(status.st_uid)) {
        result.remedy = copyOfYourOwn(path, result.path);
        return fail(ReadFailure::Untrusted,
                    result.path + " is not read: it belongs to " + userName(status.st_uid) + ", not to you or root.");
    }

    detail::readFields(result, [&](char *buffer, std::size_t capacity,
                                   std::string &reason) -> std::optional<std::size_t> {
        for (;;) {
            const ssize_t got = ::read(fd.get(), buffer, capacity);
            if (got >= 0)
                return static_cast<std::size_t>(got);
            if (errno != EINTR) {
                reason = osReason(errno);
                return std::nullopt;
            }
        }
    });
    return result;
}

WriteResult writeDirectories(const Directories &directories) { return writeDirectoriesTo(kFileName, directories); }

WriteResult writeDirectoriesTo(const std::string &path, const Directories &directories)
{
    WriteResult result;
    result.path = displayPath(path);
    struct stat before {};
    result.previousFileKept = ::lstat(path.c_str(), &before) == 0;  // until a failure touches it

    if (auto refused = detail::refusedValue(directories)) {
        result.reason = std::move(*refused);
        return result;
    }

    // The links are followed here, so that writing replaces the file the
    // user pointed tessaro.cfg at instead of the link.
    Located target;
    if (auto notFollowed = locate(path, Purpose::Writing, target)) {
        result.reason = detail::writeFailedReason(
            result.path, notFollowed->error ? openFailure(notFollowed->error) : notFollowed->reason);
        return result;
    }
    const std::optional<struct stat> &old = target.status;
    const bool exists = old.has_value();
    if (exists && !S_ISREG(old->st_mode)) {
        result.reason = detail::writeFailedReason(result.path, "it is not a regular file");
        return result;
    }
    // Renaming ignores the old file's own mode; a file its owner protected
    // stays as it is, for root as well.
    if (exists && (old->st_mode & S_IWUSR) == 0) {
        result.reason = detail::readOnlyReason(result.path, "chmod u+w " + shellWord(result.path));
        return result;
    }
    const int directory = target.directory.get();
    const std::string line = formatLine(directories);

    // The new file starts private and takes the old file's permissions once
    // it is ours; a first file gets the umask's.  Never writable by others.
    std::string temporary;
    FileDescriptor fd = createUniqueFile(directory, exists ? S_IRUSR | S_IWUSR : 0666 & ~S_IWOTH, temporary);
    if (!fd.valid()) {
        const int error = errno;
        if (exists && (error == EACCES || error == EPERM) && rewriteInPlace(target, line, result))
            return result;
        result.reason = detail::noNewFileReason(result.path, target.directoryPath, openFailure(error));
        return result;
    }

    auto fail = [&](int error) {
        fd.reset();
        ::unlinkat(directory, temporary.c_str(), 0);
        result.reason = detail::writeFailedReason(result.path, osReason(error));
        return result;
    };

    if (exists) {
        bestEffort(::fchown(fd.get(), old->st_uid, old->st_gid));  // succeeds only for the owner's own group, or root
        if (::fchmod(fd.get(), old->st_mode & 0777 & ~S_IWOTH) != 0)
            return fail(errno);
    }
    if (!writeAll(fd.get(), line, 0) || ::fsync(fd.get()) != 0 || !fd.close())
        return fail(errno);
    if (::renameat(directory, temporary.c_str(), directory, target.name.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(directory, temporary.c_str(), 0);
        result.reason = detail::replaceFailedReason(result.path, osReason(error));
        return result;
    }

    FileDescriptor directoryFd(::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directoryFd.valid())
        bestEffort(::fsync(directoryFd.get()));  // makes the rename itself durable; the data already is
    removeLeftovers(directory);
    result.written = true;
    return result;
}

}  // namespace settings
