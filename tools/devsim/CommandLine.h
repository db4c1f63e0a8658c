#pragma once

#include "Emulator.h"

#include <string>
#include <vector>

namespace provix::devsim {

enum class ParseResult { kRun, kHelp, kError };

// Reads the command line into a configuration. Behaviour options before the first --for apply to
// every device; those after "--for SELECTOR[,SELECTOR...]" (a MAC or a 1-based device number) apply
// to the selected devices only, overriding what came before.
ParseResult ParseCommandLine(const std::vector<std::string>& args, EmulatorConfig& config,
                             std::string& error);

const char* UsageText();

}  // namespace provix::devsim
