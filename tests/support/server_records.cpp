#include "support/server_records.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace testing_support {

namespace {

// Paths are UTF-8 on both systems, whatever the narrow encoding of Windows.
fs::path pathOf(const std::string &utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string unescape(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<ServerRecord> parseRecord(const std::string &path)
{
    if (!exists(path))
        return std::nullopt;
    ServerRecord record;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = unescape(line.substr(equals + 1));
        if (key == "arg")
            record.argv.push_back(value);
        else
            record.fields[key] = value;
    }
    if (!record.fields.count("end"))
        return std::nullopt;
    return record;
}

// "/" separates on Windows as well.
std::string recordPath(const std::string &directory, const std::string &name) { return directory + "/" + name; }

}  // namespace

std::string readFile(const std::string &path)
{
    std::ifstream in(pathOf(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(pathOf(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool exists(const std::string &path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(pathOf(path), error));
}

std::vector<std::string> listDirectory(const std::string &path)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(pathOf(path), error)) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ServerRecord::field(const std::string &key) const
{
    const auto found = fields.find(key);
    return found == fields.end() ? "(no " + key + ")" : found->second;
}

std::map<long, ServerRecord> recordsIn(const std::string &directory)
{
    std::map<long, ServerRecord> all;
    for (const std::string &name : listDirectory(directory)) {
        if (name.size() > 7 && name.compare(name.size() - 7, 7, ".record") == 0) {
            if (auto record = parseRecord(recordPath(directory, name)))
                all[std::stol(name)] = *record;
        }
    }
    return all;
}

std::optional<ServerRecord> waitForRecordIn(const std::string &directory, long pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const std::string path = recordPath(directory, std::to_string(pid) + ".record");
    while (std::chrono::steady_clock::now() < deadline) {
        if (auto record = parseRecord(path))
            return record;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return parseRecord(path);
}

}  // namespace testing_support
