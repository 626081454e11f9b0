#include "CommandLine.h"

#include "platform/Text.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace platform {

namespace {

constexpr int ExitUsage = 2;

[[noreturn]] void UsageError(const ProjectDescription& project, const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", project.name.c_str(),
                 message.c_str(), project.name.c_str());
    std::exit(ExitUsage);
}

} // namespace

void PrintHelp(const ProjectDescription& project) {
    std::printf("Usage: %s [--text | --why] [FILE]\n"
                "%s\n\n"
                "Reads the records of FILE (default: %s in the working directory; - reads\n"
                "standard input) and shows the four result lists in a window. Hovering over\n"
                "a record's line, or Shift+F1 there, tells where the record went or why.\n\n"
                "Options:\n"
                "  --text      print the lists to standard output instead of opening a window\n"
                "  --why       print what --text prints, then an empty line, \"%s\" and\n"
                "              each not-placed and then each rejected record with a tab and\n"
                "              the reason; implies --text\n"
                "  --help      show this help and exit\n"
                "  --version   show the version and exit\n\n"
                "Keys in the window:\n"
                "  Tab, Shift+Tab        move to the next or previous list\n"
                "  Enter, double-click   follow a record to its line in its other list\n"
                "  Alt+Left, Backspace   go back to the line that was left\n"
                "  0-9                   go to the line of the record at the position typed\n"
                "  Shift+F1              show the current line's tip\n"
                "  Ctrl+C, Ctrl+Shift+C  copy the current line, or every line of the list\n"
                "  Ctrl+Q, Ctrl+W        close the window\n\n"
                "Exit status: 0 on success, 1 on a fatal error (a write past a file-size\n"
                "limit is one), 2 on a usage error.\n",
                project.name.c_str(), project.summary.c_str(), project.dataFileName.c_str(),
                project.tipsCaption.c_str());
}

// In the manner of GNU programs: version, copyright, licence, warranty.
void PrintVersion(const ProjectDescription& project) {
    std::printf("%s %s\n"
                "%s\n"
                "License: %s.\n"
                "This is free software: you are free to change and redistribute it.\n"
                "There is NO WARRANTY, to the extent permitted by law.\n",
                project.name.c_str(), project.version.c_str(), project.copyright.c_str(),
                project.license.c_str());
}

Options ParseOptions(const ProjectDescription& project, int argc, char** argv) {
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--text") {
            options.text = true;
        } else if (!optionsEnded && arg == "--why") {
            options.text = true;
            options.why = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            options.help = true;
        } else if (!optionsEnded && (arg == "--version" || arg == "-V")) {
            options.version = true;
        } else if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
            UsageError(project, "unknown option " + ShownName(arg));
        } else if (options.file) {
            UsageError(project, "only one data file may be given");
        } else {
            options.file = std::string(arg);
        }
    }
    return options;
}

} // namespace platform
