#include "launch/exec_failure_posix.h"

#include "launch/command_line.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <optional>
#include <string_view>

#include <dirent.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace launch {

namespace {

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string &path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    // Up to `size` bytes at `offset`: how many were read.
    std::size_t readSome(void *buffer, std::size_t size, off_t offset) const
    {
        const ssize_t got = m_fd >= 0 ? ::pread(m_fd, buffer, size, offset) : -1;
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    // Exactly `size` bytes at `offset`, or false.
    bool read(void *buffer, std::size_t size, off_t offset) const { return readSome(buffer, size, offset) == size; }

private:
    int m_fd;
};

// The loader an ELF program names (PT_INTERP), for either word size.
template <typename Header, typename ProgramHeader>
std::optional<std::string> loaderOf(const ReadOnlyFile &file)
{
    Header header{};
    if (!file.read(&header, sizeof header, 0))
        return std::nullopt;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        ProgramHeader segment{};
        if (!file.read(&segment, sizeof segment, static_cast<off_t>(header.e_phoff + i * header.e_phentsize)))
            return std::nullopt;
        if (segment.p_type != PT_INTERP || segment.p_filesz == 0 || segment.p_filesz > PATH_MAX)
            continue;
        std::string loader(segment.p_filesz, '\0');
        if (!file.read(loader.data(), loader.size(), static_cast<off_t>(segment.p_offset)))
            return std::nullopt;
        return std::string(loader.c_str());
    }
    return std::nullopt;
}

// What a processor's number in an ELF header stands for.
std::string processorName(unsigned machine)
{
    switch (machine) {
    case EM_386:
        return "32-bit x86 (i386)";
    case EM_X86_64:
        return "64-bit x86 (amd64)";
    case EM_ARM:
        return "32-bit ARM";
    case EM_AARCH64:
        return "64-bit ARM (arm64)";
    default:
        return "another processor";
    }
}

// The program's start, as the kernel looks at it.
struct ProgramStart {
    bool elf = false;
    unsigned char wordSize = 0;  // ELFCLASS32 or ELFCLASS64
    unsigned machine = 0;
    std::optional<std::string> interpreter;  // of a script's #! line
};

ProgramStart readProgramStart(const ReadOnlyFile &file)
{
    char start[256] = {};  // the kernel reads no more of a #! line than this
    const std::size_t got = file.readSome(start, sizeof start - 1, 0);
    ProgramStart program;
    if (got >= sizeof(Elf32_Ehdr) && std::memcmp(start, ELFMAG, SELFMAG) == 0) {
        program.elf = true;
        program.wordSize = static_cast<unsigned char>(start[EI_CLASS]);
        Elf32_Half machine = 0;  // e_machine stands at the same place in both word sizes
        std::memcpy(&machine, start + offsetof(Elf32_Ehdr, e_machine), sizeof machine);
        program.machine = machine;
    } else if (got >= 2 && start[0] == '#' && start[1] == '!') {
        std::string_view line(start + 2, got - 2);
        line = line.substr(0, line.find('\n'));
        const auto first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos)
            program.interpreter = std::string(line.substr(first, line.find_first_of(" \t", first) - first));
    }
    return program;
}

// The top of the file system that holds `path`.
std::string mountPointOf(const std::string &path)
{
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        return path;
    std::string mount = resolved;
    struct stat own {};
    if (::stat(mount.c_str(), &own) != 0)
        return mount;
    while (mount != "/") {
        const auto slash = mount.find_last_of('/');
        const std::string parent = slash == 0 ? "/" : mount.substr(0, slash);
        struct stat above {};
        if (::stat(parent.c_str(), &above) != 0 || above.st_dev != own.st_dev)
            break;
        mount = parent;
    }
    return mount;
}

// Changing into the directory fails before the program is looked at.
std::optional<ExecFailure> classifyDirectory(const std::string &directory)
{
    struct stat status {};
    if (::stat(directory.c_str(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ExecFailure{StartFailure::QuakeDirectoryMissing, {}};
        if (errno == EACCES)
            return ExecFailure{StartFailure::QuakeDirectoryNotEnterable, {}};
        return ExecFailure{StartFailure::SystemRefused, std::strerror(errno)};
    }
    if (!S_ISDIR(status.st_mode))
        return ExecFailure{StartFailure::QuakeDirectoryNotADirectory, {}};
    if (::access(directory.c_str(), X_OK) != 0)
        return ExecFailure{StartFailure::QuakeDirectoryNotEnterable, {}};
    return std::nullopt;
}

ExecFailure classifyScript(int error, const ProgramInvocation &invocation, std::string interpreter)
{
    // A relative interpreter is found from the working directory, as the kernel finds it.
    if (interpreter.front() != '/')
        interpreter = invocation.workingDirectory + "/" + interpreter;
    if (error == ENOENT)
        return {StartFailure::InterpreterMissing, interpreter};
    return {StartFailure::InterpreterNotExecutable, interpreter};
}

// A host coming from Windows may have brought the server for Windows along:
// qwsv.exe, in whatever case, where qwsv should be.
std::optional<std::string> windowsServerBeside(const std::string &program)
{
    const std::string directory = program.substr(0, program.find_last_of('/'));
    DIR *entries = ::opendir(directory.c_str());
    if (!entries)
        return std::nullopt;
    std::optional<std::string> found;
    while (const dirent *entry = ::readdir(entries)) {
        if (::strcasecmp(entry->d_name, "qwsv.exe") == 0)
            found = directory + "/" + entry->d_name;
    }
    ::closedir(entries);
    return found;
}

}  // namespace

ExecFailure classifyExecFailure(int error, const ProgramInvocation &invocation)
{
    // What the system ran short of, before anything is looked at (a path too
    // long to look at among them).
    switch (error) {
    case ENAMETOOLONG:
        return {StartFailure::PathTooLong, std::to_string(PATH_MAX - 1)};
    case E2BIG:
        return {StartFailure::EnvironmentTooLarge, {}};
    case EMFILE:
        return {StartFailure::OutOfFiles, "Tessaro has as many files open as it may"};
    case ENFILE:
        return {StartFailure::OutOfFiles, "the system has as many files open as it can"};
    default:
        break;
    }
    if (auto directory = classifyDirectory(invocation.workingDirectory))
        return *directory;

    const std::string &program = invocation.program;
    struct stat link {};
    if (::lstat(program.c_str(), &link) != 0) {
        if (auto windows = windowsServerBeside(program))
            return {StartFailure::WindowsServerOnly, *windows};
        return {StartFailure::ProgramMissing, {}};
    }
    struct stat status {};
    if (::stat(program.c_str(), &status) != 0) {
        char target[PATH_MAX] = {};
        const ssize_t length = ::readlink(program.c_str(), target, sizeof target - 1);
        return {StartFailure::ProgramLinkBroken, length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string()};
    }
    if (S_ISDIR(status.st_mode))
        return {StartFailure::ProgramIsDirectory, {}};

    struct statvfs fileSystem {};
    if (error == EACCES && S_ISREG(status.st_mode) && ::statvfs(program.c_str(), &fileSystem) == 0
        && (fileSystem.f_flag & ST_NOEXEC))
        return {StartFailure::QuakeDirectoryNoExec, mountPointOf(program)};
    if (error == EACCES && ::access(program.c_str(), X_OK) != 0)
        return {StartFailure::ProgramNotExecutable, {}};

    const ReadOnlyFile file(program);
    const ProgramStart start = readProgramStart(file);
    if ((error == ENOENT || error == EACCES) && start.interpreter && !start.interpreter->empty())
        return classifyScript(error, invocation, *start.interpreter);
    if (start.elf && (error == ENOENT || error == ELIBBAD)) {
        const auto loader = start.wordSize == ELFCLASS32 ? loaderOf<Elf32_Ehdr, Elf32_Phdr>(file)
                                                         : loaderOf<Elf64_Ehdr, Elf64_Phdr>(file);
        return {StartFailure::LoaderMissing, loader.value_or("that its header names")};
    }
    if (start.elf && error == ENOEXEC)
        return {StartFailure::ForeignArchitecture, processorName(start.machine)};
    if (error == ENOEXEC)
        return {StartFailure::NotAProgram, {}};
    return {StartFailure::SystemRefused, std::strerror(error)};
}

std::string deletedDirectoryName()
{
    char target[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/cwd", target, sizeof target - 1);
    std::string name = length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
    constexpr std::string_view kMark = " (deleted)";
    if (name.size() > kMark.size() && name.compare(name.size() - kMark.size(), kMark.size(), kMark) == 0)
        name.resize(name.size() - kMark.size());
    return name.empty() ? std::string("(unknown)") : name;
}

}  // namespace launch
