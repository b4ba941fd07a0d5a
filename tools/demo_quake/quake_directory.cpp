#include "demo_quake/quake_directory.h"

#include "demo_quake/box_map.h"
#include "demo_quake/run_program.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qwfixture {

namespace {

constexpr std::int32_t kProgsVersion = 6;
constexpr std::int32_t kQuakeWorldProgsCrc = 54730;

std::optional<std::string> readWhole(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::int32_t littleEndian32(std::string_view bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return static_cast<std::int32_t>(value);
}

// A scratch directory for the compiler, which leaves a log and a line table
// beside its output.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::string pattern = (fs::temp_directory_path() / "tessaro-qcc-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        if (!m_path.empty())
            fs::remove_all(m_path, ignored);
    }
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    const fs::path &path() const { return m_path; }

private:
    fs::path m_path;
};

// The compiler's "file:line: error: ..." lines, which say what to fix; its
// whole output when it printed none.
std::string compilerErrors(const std::string &output)
{
    std::istringstream lines(output);
    std::string line, errors;
    while (std::getline(lines, line)) {
        if (line.find(": error") != std::string::npos)
            errors += line + "\n";
    }
    return errors.empty() ? output : errors;
}

// Replaces `path` with `bytes` unless it holds them already; a new file goes
// in beside it and takes its name, so nobody ever sees half of one.
std::optional<std::string> writeIfChanged(const fs::path &path, const std::string &bytes, fs::perms mode,
                                          std::vector<std::string> &written)
{
    std::error_code error;
    if (readWhole(path) == bytes && !fs::is_symlink(path, error)) {
        fs::permissions(path, mode, error);
        return error ? std::optional<std::string>(path.string() + ": " + error.message()) : std::nullopt;
    }
    const fs::path partial = path.string() + ".partial" + std::to_string(::getpid());
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << bytes;
        out.close();
        if (!out) {
            fs::remove(partial, error);
            return "cannot write " + partial.string();
        }
    }
    fs::permissions(partial, mode, error);
    if (!error)
        fs::rename(partial, path, error);
    if (error) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        return path.string() + ": " + error.message();
    }
    written.push_back(path.string());
    return std::nullopt;
}

std::string shellQuoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string defaultQcSource() { return TESSARO_QWPROGS_SOURCE; }

std::optional<std::string> progsProblem(std::string_view progs)
{
    if (progs.size() < 8)
        return "it is " + std::to_string(progs.size()) + " bytes long, too short for a header";
    const std::int32_t version = littleEndian32(progs, 0), crc = littleEndian32(progs, 4);
    if (version != kProgsVersion)
        return "it has version " + std::to_string(version) + "; QuakeWorld servers load version " +
               std::to_string(kProgsVersion);
    if (crc != kQuakeWorldProgsCrc)
        return "its checksum of the system definitions is " + std::to_string(crc) +
               "; QuakeWorld servers load only " + std::to_string(kQuakeWorldProgsCrc) +
               " (were the globals or fields at the top of the QuakeC source changed?)";
    return std::nullopt;
}

CompiledProgs compileProgs(const std::string &qcSource, const std::string &compiler)
{
    CompiledProgs result;
    const std::optional<std::string> source = readWhole(qcSource);
    if (!source) {
        result.reason = "cannot read the QuakeC source " + qcSource;
        return result;
    }
    ScratchDirectory scratch;
    if (scratch.path().empty()) {
        result.reason = "cannot create a scratch directory for the QuakeC compiler";
        return result;
    }
    {
        std::ofstream(scratch.path() / "qwprogs.qc", std::ios::binary) << *source;
        std::ofstream(scratch.path() / "progs.src", std::ios::binary) << "qwprogs.dat\nqwprogs.qc\n";
    }
    const ProgramRun run = runProgram({compiler, "-srcfile", "progs.src"}, {.workingDirectory = scratch.path().string()});
    if (!run.ran) {
        result.reason = "the QuakeC compiler cannot run: " + run.reason + " (scripts/install-deps installs fteqcc)";
        return result;
    }
    const std::optional<std::string> progs = readWhole(scratch.path() / "qwprogs.dat");
    if (run.exitCode != 0 || !progs) {
        result.reason = compiler + " could not compile " + qcSource + ":\n" + compilerErrors(run.output + run.errors);
        return result;
    }
    if (const auto problem = progsProblem(*progs)) {
        result.reason = "the game logic compiled from " + qcSource + " would be refused: " + *problem;
        return result;
    }
    result.bytes = *progs;
    return result;
}

std::string wrapperScript(const std::string &server)
{
    return "#!/bin/sh\n"
           "# qwsv of a test or demo Quake directory: a real QuakeWorld server,\n"
           "# reachable from this machine only.  It finds id1/ relative to the\n"
           "# directory it is started in, which has to be this one.\n"
           "exec " + shellQuoted(server) + " -ip 127.0.0.1 \"$@\"\n";
}

BuildOutcome buildQuakeDirectory(const std::string &directory, const QuakeDirectoryOptions &options)
{
    BuildOutcome outcome;
    const auto fail = [&](const std::string &why) {
        outcome.reason = "Cannot build the Quake directory " + directory + ": " + why;
        return outcome;
    };
    if (::access(options.server.c_str(), X_OK) != 0)
        return fail("the QuakeWorld server " + options.server + " is not installed (scripts/install-deps installs mvdsv)");

    const CompiledProgs progs = compileProgs(options.qcSource.empty() ? defaultQcSource() : options.qcSource,
                                             options.compiler);
    if (!progs.ok())
        return fail(progs.reason);

    const fs::path root(directory);
    std::error_code error;
    fs::create_directories(root / "id1" / "maps", error);
    if (error)
        return fail(error.message());

    using fs::perms;
    const perms readable = perms::owner_read | perms::owner_write | perms::group_read | perms::others_read;
    const perms executable = readable | perms::owner_exec | perms::group_exec | perms::others_exec;
    const struct {
        fs::path path;
        std::string bytes;
        perms mode;
    } files[] = {
        {root / "id1" / "maps" / "start.bsp", buildBoxMap(), readable},
        {root / "id1" / "qwprogs.dat", progs.bytes, readable},
        {root / "qwsv", wrapperScript(options.server), executable},
    };
    for (const auto &file : files) {
        if (const auto problem = writeIfChanged(file.path, file.bytes, file.mode, outcome.written))
            return fail(*problem);
    }
    return outcome;
}

}  // namespace qwfixture
