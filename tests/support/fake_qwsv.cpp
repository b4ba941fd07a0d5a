// Stands in for the QuakeWorld server in tests: writes down what it was given
// and where it runs, then waits to be killed (or exits at once).
//
// FAKE_QWSV_RECORD_DIR  where to write <pid>.record (required)
// FAKE_QWSV_MODE        "exit": exit after recording; "read": then say so on standard
//                       output and copy each line of standard input to <pid>.input,
//                       as a server's console takes commands; anything else: stay
//                       up to a minute
//
// The record holds pid, sid, pgid, cwd, stdin, fds (the open descriptors),
// fdtargets (each descriptor with what it refers to, one a line) and argv.

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// The tests end this stand-in with SIGSEGV on purpose, as a server that
// crashes ends: the signal must do to it what it does to any program, not
// be taken for a fault of its own.
extern "C" const char *__asan_default_options() { return "handle_segv=0"; }
#endif

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

// What each open descriptor refers to, "fd:target" separated by newlines.
std::string descriptorTargets()
{
    std::string list;
    std::string fds = openDescriptors();
    std::size_t begin = 0;
    while (begin < fds.size()) {
        std::size_t comma = fds.find(',', begin);
        if (comma == std::string::npos)
            comma = fds.size();
        const std::string fd = fds.substr(begin, comma - begin);
        list += (list.empty() ? "" : "\n") + fd + ":" + linkTarget(("/proc/self/fd/" + fd).c_str());
        begin = comma + 1;
    }
    return escaped(list.c_str());
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
    record += "fdtargets=" + descriptorTargets() + "\n";
    for (int i = 0; i < argc; ++i)
        record += "arg=" + escaped(argv[i]) + "\n";
    record += "end=1\n";

    const std::string path = std::string(recordDir) + "/" + std::to_string(getpid()) + ".record";
    const std::string partial = path + ".partial";
    if (FILE *file = std::fopen(partial.c_str(), "w")) {
        std::fputs(record.c_str(), file);
        std::fclose(file);
        std::rename(partial.c_str(), path.c_str());
    }

    const char *mode = std::getenv("FAKE_QWSV_MODE");
    if (mode && std::strcmp(mode, "exit") == 0)
        _exit(0);  // no exit-time work (a sanitizer's leak check) for a fixture to interrupt
    // A test that forgets to stop it must not keep CI waiting for ever.
    alarm(60);
    if (mode && std::strcmp(mode, "read") == 0) {
        std::printf("fake qwsv %d reads its console\n", static_cast<int>(getpid()));
        std::fflush(stdout);
        const std::string input = std::string(recordDir) + "/" + std::to_string(getpid()) + ".input";
        char line[4096];
        while (std::fgets(line, sizeof line, stdin)) {
            if (FILE *file = std::fopen(input.c_str(), "a")) {
                std::fputs(line, file);
                std::fclose(file);
            }
        }
        _exit(0);
    }
    for (;;)
        pause();
}
