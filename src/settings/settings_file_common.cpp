#include "settings/settings_file_common.h"

#include <array>
#include <random>
#include <utility>

namespace settings::detail {

namespace {

// Read in small pieces and stop as soon as the ninth field is complete.
constexpr std::size_t kReadChunk = 4096;

// The new file's name: a dot, the settings file's name, a dot, then this many
// characters from the alphabet, at random.
constexpr std::size_t kTemporarySuffixLength = 12;
constexpr std::string_view kTemporaryAlphabet = "0123456789abcdefghijklmnopqrstuvwxyz";

std::string temporaryPrefix() { return std::string(".") + kFileName + "."; }

// "directory 2", "directories 2 and 5", "directories 2, 3 and 5".
std::string directoriesNamed(const std::vector<int> &slots)
{
    std::string named = slots.size() == 1 ? "directory " : "directories ";
    for (std::size_t i = 0; i < slots.size(); ++i)
        named += (i == 0 ? "" : i + 1 == slots.size() ? " and " : ", ") + std::to_string(slots[i]);
    return named;
}

}  // namespace

void readFields(ReadResult &result, const ReadChunk &readChunk)
{
    std::string bytes;
    for (;;) {
        std::array<char, kReadChunk> chunk;
        std::string reason;
        const std::optional<std::size_t> got = readChunk(chunk.data(), chunk.size(), reason);
        if (!got) {
            result.failure = ReadFailure::Unreadable;
            result.reason = unreadableReason(result.path, reason);
            return;
        }
        const bool endOfFile = *got == 0;
        bytes.append(chunk.data(), *got);

        ParseResult parsed = parseFields(bytes, endOfFile);
        if (parsed.status == ParseStatus::NeedMore)
            continue;
        result.directories = std::move(parsed.directories);
        result.fieldsRead = parsed.fieldsRead;
        result.slotsWithNul = std::move(parsed.slotsWithNul);
        switch (parsed.status) {
        case ParseStatus::Complete:
        case ParseStatus::NeedMore:
            break;
        case ParseStatus::TooFewFields:
            result.failure = ReadFailure::TooFewFields;
            result.reason = result.path + " holds "
                + (parsed.fieldsRead == 0 ? std::string("none") : std::to_string(parsed.fieldsRead))
                + " of the nine directories.";
            break;
        case ParseStatus::HoldsNul:
            result.failure = ReadFailure::HoldsNul;
            result.reason = unreadableReason(result.path, "directory " + std::to_string(parsed.fieldsRead + 1)
                                                              + " contains a NUL byte, which no directory name holds");
            return;
        case ParseStatus::FieldTooLong:
            result.failure = ReadFailure::FieldTooLong;
            result.reason = result.path + " is not a settings file Tessaro can read: directory "
                + std::to_string(parsed.fieldsRead + 1) + " is longer than " + std::to_string(kMaxFieldBytes)
                + " bytes.";
            break;
        }
        if (!result.slotsWithNul.empty()) {
            const std::string named = directoriesNamed(result.slotsWithNul);
            const std::string holds = named + (result.slotsWithNul.size() == 1 ? " contains" : " contain")
                + " a NUL byte, which no directory name holds";
            if (result.ok()) {
                result.failure = ReadFailure::HoldsNul;
                result.reason = unreadableReason(result.path, holds);
            } else {
                result.reason += "  Besides, " + holds + ".";
            }
        }
        return;
    }
}

std::string temporaryName()
{
    static std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, kTemporaryAlphabet.size() - 1);
    std::string suffix(kTemporarySuffixLength, '0');
    for (char &c : suffix)
        c = kTemporaryAlphabet[pick(device)];
    return temporaryPrefix() + suffix;
}

bool isTemporaryName(std::string_view name)
{
    const std::string prefix = temporaryPrefix();
    if (name.size() != prefix.size() + kTemporarySuffixLength || name.substr(0, prefix.size()) != prefix)
        return false;
    return name.substr(prefix.size()).find_first_not_of(kTemporaryAlphabet) == std::string_view::npos;
}

std::optional<std::string> refusedValue(const Directories &directories)
{
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (auto problem = valueProblem(directories.slot(slot)))
            return "Nothing was written: directory " + std::to_string(slot) + " " + *problem + ".";
    }
    return std::nullopt;
}

std::string missingReason(const std::string &path) { return "There is no settings file " + path + "."; }

std::string unreadableReason(const std::string &path, const std::string &systemReason)
{
    return path + " cannot be read: " + systemReason + ".";
}

std::string directoryReason(const std::string &path) { return path + " is a directory, not a settings file."; }

std::string notAFileReason(const std::string &path)
{
    return path + " is not a regular file (it is a pipe, a device or a socket).";
}

std::string writeFailedReason(const std::string &path, const std::string &systemReason)
{
    return "Could not write " + path + ": " + systemReason + ".";
}

std::string replaceFailedReason(const std::string &path, const std::string &systemReason)
{
    return "Could not replace " + path + ": " + systemReason + ".";
}

std::string readOnlyReason(const std::string &path, const std::string &howToAllowWriting)
{
    return "Could not replace " + path + ": it is read-only (" + howToAllowWriting + " allows writing).";
}

std::string noNewFileReason(const std::string &path, const std::string &directory, const std::string &systemReason)
{
    return "Could not write " + path + ": no new file can be made in " + directory + " (" + systemReason + ").";
}

}  // namespace settings::detail
