// libFuzzer target for the settings reader.  Every input is checked three ways:
//
//  1. parseFields on the whole input and on prefixes of it (the reader feeds
//     the file in pieces): a prefix either asks for more or already agrees
//     with the whole, and never depends on bytes it was not given.
//  2. readDirectoriesFrom on a file holding the input, and on the same file
//     followed by a gigabyte of zeros: nine values or a failure with a reason,
//     the same answer as the parser, and no read beyond what the answer needs.
//  3. Nine values cut from the input: when they pass valueProblem, writing and
//     reading them back gives the same nine, less the blanks and tabs at
//     their ends; when they do not, nothing is written.
//
// Memory is bounded by running with -rss_limit_mb and -malloc_limit_mb.

#include "settings/directory_settings.h"
#include "settings/settings_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <sys/mman.h>
#include <unistd.h>

using settings::Directories;
using settings::ParseResult;
using settings::ParseStatus;
using settings::ReadFailure;
using settings::ReadResult;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "settings_fuzz: %s\n", what);
    std::abort();
}

void check(bool condition, const char *what)
{
    if (!condition)
        fail(what);
}

bool sameOutcome(const ParseResult &a, const ParseResult &b) { return a == b; }

// The first fieldsRead values are the ones read; the rest, and those that
// held a NUL byte, are empty.
void checkShape(const ParseResult &result)
{
    for (int slot = 1; slot <= settings::kSlotCount; ++slot) {
        const std::string &value = result.directories.slot(slot);
        check(value.size() <= settings::kMaxFieldBytes, "a value is longer than the bound");
        check(value.find('\0') == std::string::npos, "a value holds a NUL byte");
        if (slot > result.fieldsRead)
            check(value.empty(), "a value beyond the fields read is not empty");
    }
    for (int slot : result.slotsWithNul)
        check(slot <= result.fieldsRead && result.directories.slot(slot).empty(), "a NUL field was kept");
    const bool complete = result.status == ParseStatus::Complete;
    check(complete == (result.fieldsRead == settings::kSlotCount), "fieldsRead disagrees with the status");
}

void checkPiece(std::string_view input, std::size_t split, const ParseResult &whole)
{
    const std::string_view prefix = input.substr(0, split);
    const ParseResult part = settings::parseFields(prefix, false);
    checkShape(part);
    switch (part.status) {
    case ParseStatus::NeedMore:
        break;
    case ParseStatus::TooFewFields:
        fail("a piece that is not the end of the file was taken for the end");
    case ParseStatus::Complete:
    case ParseStatus::FieldTooLong:
    case ParseStatus::HoldsNul: {
        check(sameOutcome(part, whole), "a piece and the whole file disagree");
        // Whatever follows cannot matter once the answer is known.
        const std::string other = std::string(prefix) + "\",\r\n\"x";
        check(sameOutcome(settings::parseFields(other, true), part), "bytes after the answer changed it");
        break;
    }
    }
}

// Pieces end where the reader's reads end (multiples of its chunk), at an
// arbitrary point, and just after each delimiter or quote, where a piece is
// most easily mistaken for a finished field.
void checkParser(std::string_view input, std::size_t arbitrarySplit)
{
    const ParseResult whole = settings::parseFields(input, true);
    check(whole.status != ParseStatus::NeedMore, "the whole file asked for more");
    checkShape(whole);

    constexpr std::size_t kReadChunk = 4096;
    constexpr int kMostDelimiterSplits = 64;
    checkPiece(input, arbitrarySplit, whole);
    for (std::size_t split = kReadChunk; split < input.size(); split += kReadChunk)
        checkPiece(input, split, whole);
    int delimiterSplits = 0;
    for (std::size_t split = 1; split <= input.size() && delimiterSplits < kMostDelimiterSplits; ++split) {
        if (std::string_view(",\r\n\"").find(input[split - 1]) != std::string_view::npos) {
            checkPiece(input, split, whole);
            ++delimiterSplits;
        }
    }
}

// A file in memory, reached through a path as the reader wants one.
class MemoryFile {
public:
    MemoryFile() : m_fd(::memfd_create("tessaro.cfg", MFD_CLOEXEC))
    {
        if (m_fd < 0)
            fail("memfd_create failed");
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }

    void fill(std::string_view bytes, off_t zerosAfter)
    {
        if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())
            || ::ftruncate(m_fd, off_t(bytes.size()) + zerosAfter) != 0)
            fail("cannot fill the in-memory file");
    }

    const std::string &path() const { return m_path; }

private:
    int m_fd;
    std::string m_path;
};

void checkReadMatches(const ReadResult &read, const ParseResult &parsed)
{
    check(read.fieldsRead == parsed.fieldsRead, "the reader and the parser read different numbers of fields");
    check(read.directories == parsed.directories, "the reader and the parser read different values");
    check(read.slotsWithNul == parsed.slotsWithNul, "the reader and the parser found NUL bytes apart");
    switch (parsed.status) {
    case ParseStatus::Complete:
        if (parsed.slotsWithNul.empty())
            check(read.ok() && read.reason.empty(), "a complete file was not read");
        else
            check(read.failure == ReadFailure::HoldsNul, "a NUL byte in a complete file was not reported");
        break;
    case ParseStatus::TooFewFields:
        check(read.failure == ReadFailure::TooFewFields, "a short file was not reported short");
        check(read.reason.find("of the nine directories") != std::string::npos, "a short file's reason");
        break;
    case ParseStatus::FieldTooLong:
        check(read.failure == ReadFailure::FieldTooLong, "an overlong field was not reported");
        check(read.reason.find("longer than " + std::to_string(settings::kMaxFieldBytes) + " bytes")
                  != std::string::npos,
              "an overlong field's reason does not name the bound");
        break;
    case ParseStatus::HoldsNul:
        check(read.failure == ReadFailure::HoldsNul, "a NUL byte was not reported");
        check(read.reason.find("contains a NUL byte") != std::string::npos, "a NUL byte's reason");
        break;
    case ParseStatus::NeedMore:
        fail("unreachable");
    }
    check(read.ok() || read.reason.find(read.path) != std::string::npos, "a reason without the file's name");
}

void checkReader(MemoryFile &file, std::string_view input)
{
    file.fill(input, 0);
    checkReadMatches(settings::readDirectoriesFrom(file.path()), settings::parseFields(input, true));

    // A gigabyte more: the reader must stop where the answer is known (or a
    // field outgrows the bound) instead of reading, or holding, all of it.
    const ParseResult known = settings::parseFields(input, false);
    file.fill(input, off_t(1) << 30);
    const ReadResult tail = settings::readDirectoriesFrom(file.path());
    if (known.status != ParseStatus::NeedMore) {
        checkReadMatches(tail, known);
    } else {
        // Nine fields at their longest, with their delimiters, settle any answer.
        const std::size_t enough = settings::kSlotCount * (settings::kMaxFieldBytes + 2);
        const ParseResult settled = settings::parseFields(std::string(input) + std::string(enough, '\0'), false);
        check(settled.status != ParseStatus::NeedMore, "nine bounded fields did not settle the answer");
        checkReadMatches(tail, settled);
    }
}

// Nine values cut from the input at a separator byte taken from the input.
Directories valuesFrom(std::string_view input)
{
    Directories values;
    if (input.empty())
        return values;
    const char separator = input.front();
    input.remove_prefix(1);
    for (int slot = 1; slot <= settings::kSlotCount && !input.empty(); ++slot) {
        const std::size_t cut = input.find(separator);
        values.slot(slot) = std::string(input.substr(0, cut));
        input.remove_prefix(cut == std::string_view::npos ? input.size() : cut + 1);
    }
    return values;
}

// A settings file in a directory of its own, in memory where there is a
// memory file system, since every input writes it.
class ScratchSettings {
public:
    ScratchSettings()
    {
        std::string pattern = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/tessaro-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            fail("cannot make a scratch directory");
        m_directory = pattern;
        m_path = m_directory + "/" + settings::kFileName;
        if (!settings::writeDirectoriesTo(m_path, Directories()).ok())
            fail("cannot create the scratch settings file");
    }
    ~ScratchSettings()
    {
        ::unlink(m_path.c_str());
        ::rmdir(m_directory.c_str());
    }

    const std::string &path() const { return m_path; }

private:
    std::string m_directory;
    std::string m_path;
};

void checkRoundTrip(const std::string &path, std::string_view input)
{
    const Directories values = valuesFrom(input);
    bool storable = true;
    Directories readBack;  // what reading gives for each value: it without blanks and tabs at its ends
    for (int slot = 1; slot <= settings::kSlotCount; ++slot) {
        const std::string &value = values.slot(slot);
        storable = storable && !settings::valueProblem(value);
        const std::size_t first = value.find_first_not_of(" \t");
        if (first != std::string::npos)
            readBack.slot(slot) = value.substr(first, value.find_last_not_of(" \t") + 1 - first);
    }

    const std::string line = settings::formatLine(values);
    if (storable) {
        for (bool endOfFile : {true, false}) {
            const ParseResult parsed = settings::parseFields(line, endOfFile);
            check(parsed.status == ParseStatus::Complete && parsed.directories == readBack,
                  "a storable line did not read back");
        }
    }

    const ReadResult before = settings::readDirectoriesFrom(path);
    const auto written = settings::writeDirectoriesTo(path, values);
    check(written.ok() == storable, storable ? "a storable value was refused" : "an unstorable value was written");
    check(written.ok() || !written.reason.empty(), "a refused write without a reason");
    const ReadResult after = settings::readDirectoriesFrom(path);
    if (storable)
        check(after.ok() && after.directories == readBack, "writing then reading changed the values");
    else
        check(after.ok() && after.directories == before.directories, "a refused write changed the file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static MemoryFile file;
    static const ScratchSettings scratch;

    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t split = size < 2 ? size : (std::size_t(data[0]) << 8 | data[1]) % (size + 1);
    checkParser(input, split);
    checkReader(file, input);
    checkRoundTrip(scratch.path(), input);
    return 0;
}
