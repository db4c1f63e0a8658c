#include "CommandLine.h"
#include "Emulator.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace provix::devsim;
    EmulatorConfig config;
    std::string error;
    const std::vector<std::string> args(argv + 1, argv + argc);
    switch (ParseCommandLine(args, config, error)) {
        case ParseResult::kHelp:
            std::fputs(UsageText(), stdout);
            return 0;
        case ParseResult::kError:
            std::fprintf(stderr, "devsim: %s\n(see devsim --help)\n", error.c_str());
            return 2;
        case ParseResult::kRun:
            break;
    }
    Emulator emulator(std::move(config));
    if (!emulator.Open(error)) {
        std::fprintf(stderr, "devsim: %s\n", error.c_str());
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return emulator.Run();
}
