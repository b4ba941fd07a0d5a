// make_quake_directory [--server PROGRAM] [--qc FILE] [--verbose] DIR
//
// Creates or refreshes a Quake directory in which a real QuakeWorld server
// runs (see quake_directory.h): for tests that start the program itself and
// for the demo that scripts/start prepares.  Silent unless something fails
// or --verbose is given; exit status 1 with the reason on failure, 2 on
// wrong usage.

#include "demo_quake/quake_directory.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

int usage()
{
    std::fputs("usage: make_quake_directory [--server PROGRAM] [--qc FILE] [--verbose] DIR\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    qwfixture::QuakeDirectoryOptions options;
    std::string directory;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if ((arg == "--server" || arg == "--qc") && i + 1 < argc)
            (arg == "--server" ? options.server : options.qcSource) = argv[++i];
        else if (arg == "--verbose")
            verbose = true;
        else if (!arg.starts_with("-") && directory.empty())
            directory = arg;
        else
            return usage();
    }
    if (directory.empty())
        return usage();

    const qwfixture::BuildOutcome outcome = qwfixture::buildQuakeDirectory(directory, options);
    if (!outcome.ok()) {
        std::fprintf(stderr, "%s\n", outcome.reason.c_str());
        return 1;
    }
    if (verbose) {
        for (const std::string &path : outcome.written)
            std::printf("wrote %s\n", path.c_str());
    }
    return 0;
}
