#include "settings/settings_file.h"
#include "settings/settings_file_common.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
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

// Follows tessaro.cfg's chain of symbolic links, so that writing replaces the
// file the user pointed it at instead of the link, and leaves `path` at the
// chain's end and `status` at what lies there (nothing: no file yet).  Only
// links of the user's own are followed: the new file is made by this user,
// so a link someone else planted (in a shared directory, or after Configure
// read the file) would let them choose where it goes.  That is stricter than
// the kernel's fs.protected_symlinks, which the directories on the way still
// get.  Returns why the chain is not followed, or nothing.
std::optional<std::string> followOwnLinks(std::string &path, std::optional<struct stat> &status)
{
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        // Opened without following, so that the link checked is the link read.
        const FileDescriptor link(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat linkStatus {};
        if (!link.valid() || ::fstat(link.get(), &linkStatus) != 0) {
            if (errno != ENOENT)
                return osReason(errno);
            status.reset();
            return std::nullopt;
        }
        if (!S_ISLNK(linkStatus.st_mode)) {
            status = linkStatus;
            return std::nullopt;
        }
        if (linkStatus.st_uid != ::geteuid()) {
            const std::string which
                = hop == 0 ? "it is a symbolic link that" : "the symbolic link " + displayPath(path) + " on its way";
            return which + " belongs to " + userName(linkStatus.st_uid)
                + ", and Tessaro writes only through links of your own";
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlinkat(link.get(), "", target, sizeof target);
        if (length < 0 || static_cast<std::size_t>(length) == sizeof target)
            return osReason(length < 0 ? errno : ENAMETOOLONG);
        const std::string next(target, static_cast<std::size_t>(length));
        path = next.front() == '/' ? next : directoryOf(path) + "/" + next;
    }
    return osReason(ELOOP);
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
// exclusively, never through a link.
FileDescriptor createUniqueFile(const std::string &directory, mode_t mode, std::string &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = directory + "/" + detail::temporaryName();
        FileDescriptor fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
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
void removeLeftovers(const std::string &directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
bool rewriteInPlace(const std::string &target, const std::string &line, WriteResult &result)
{
    // The target was checked as a file, not a link; a link put there since is not followed.
    FileDescriptor fd(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
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

}  // namespace

// The file carries the values' bytes as they are, so every value fits.
std::optional<std::string> encodingProblem(std::string_view) { return std::nullopt; }

ReadResult readDirectories() { return readDirectoriesFrom(kFileName); }

ReadResult readDirectoriesFrom(const std::string &path)
{
    ReadResult result;
    result.path = displayPath(path);

    // Non-blocking, so that a pipe with no writer cannot hold the window.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) {
        const int error = errno;
        result.failure = error == ENOENT ? ReadFailure::Missing : ReadFailure::Unreadable;
        result.reason = error == ENOENT ? detail::missingReason(result.path)
                                        : detail::unreadableReason(result.path, osReason(error));
        return result;
    }

    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        result.failure = ReadFailure::NotAFile;
        result.reason = S_ISDIR(status.st_mode) ? detail::directoryReason(result.path)
                                                : detail::notAFileReason(result.path);
        return result;
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

    std::string target = path;
    std::optional<struct stat> old;
    if (auto refused = followOwnLinks(target, old)) {
        result.reason = detail::writeFailedReason(result.path, *refused);
        return result;
    }
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
    const std::string directory = directoryOf(target);
    const std::string line = formatLine(directories);

    // The new file starts private and takes the old file's permissions once
    // it is ours; a first file gets the umask's.  Never writable by others.
    std::string temporary;
    FileDescriptor fd = createUniqueFile(directory, exists ? S_IRUSR | S_IWUSR : 0666 & ~S_IWOTH, temporary);
    if (!fd.valid()) {
        const int error = errno;
        if (exists && (error == EACCES || error == EPERM) && rewriteInPlace(target, line, result))
            return result;
        result.reason = detail::noNewFileReason(result.path, displayPath(directory), osReason(error));
        return result;
    }

    auto fail = [&](int error) {
        fd.reset();
        ::unlink(temporary.c_str());
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
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        result.reason = detail::replaceFailedReason(result.path, osReason(error));
        return result;
    }

    FileDescriptor directoryFd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directoryFd.valid())
        bestEffort(::fsync(directoryFd.get()));  // makes the rename itself durable; the data already is
    removeLeftovers(directory);
    result.written = true;
    return result;
}

}  // namespace settings
