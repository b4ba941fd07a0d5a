// Stands in for the QuakeWorld server in tests: writes down what it was given
// and where it runs, then waits to be killed (or exits at once).
//
// FAKE_QWSV_RECORD_DIR  where to write <pid>.record (required)
// FAKE_QWSV_MODE        "exit": exit after recording; anything else: stay up to a minute

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <unistd.h>

namespace {

std::string escaped(const char *text)
{
    std::string out;
    for (const char *p = text; *p; ++p) {
        if (*p == '\\')
            out += "\\\\";
        else if (*p == '\n')
            out += "\\n";
        else
            out += *p;
    }
    return out;
}

std::string openDescriptors()
{
    std::string list;
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return "?";
    const int own = dirfd(dir);
    while (dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == own)
            continue;
        list += std::string(list.empty() ? "" : ",") + entry->d_name;
    }
    closedir(dir);
    return list;
}

std::string linkTarget(const char *path)
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink(path, buffer, sizeof buffer - 1);
    return length < 0 ? std::string("closed") : std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace

int main(int argc, char **argv)
{
    const char *recordDir = std::getenv("FAKE_QWSV_RECORD_DIR");
    if (!recordDir)
        return 2;

    char cwd[PATH_MAX] = "?";
    if (!getcwd(cwd, sizeof cwd))
        std::strcpy(cwd, "?");

    std::string record;
    record += "pid=" + std::to_string(getpid()) + "\n";
    record += "sid=" + std::to_string(getsid(0)) + "\n";
    record += "pgid=" + std::to_string(getpgid(0)) + "\n";
    record += "cwd=" + escaped(cwd) + "\n";
    record += "stdin=" + linkTarget("/proc/self/fd/0") + "\n";
    record += "fds=" + openDescriptors() + "\n";
    for (int i = 0; i < argc; ++i)
        record += "arg=" + escaped(argv[i]) + "\n";

    const std::string path = std::string(recordDir) + "/" + std::to_string(getpid()) + ".record";
    const std::string partial = path + ".partial";
    if (FILE *file = std::fopen(partial.c_str(), "w")) {
        std::fputs(record.c_str(), file);
        std::fclose(file);
        std::rename(partial.c_str(), path.c_str());
    }

    const char *mode = std::getenv("FAKE_QWSV_MODE");
    if (mode && std::strcmp(mode, "exit") == 0)
        return 0;
    // A test that forgets to stop it must not keep CI waiting for ever.
    alarm(60);
    for (;;)
        pause();
}
