#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol/local_adapter_stu.h"

namespace provix {

struct AdapterChoice {
    std::optional<std::size_t> index;  // position in the list; nullopt when nothing or several match
    std::string error;                 // why, for stderr
};

// Finds the adapter the operator named: its interface name first (names are unique), then its
// display text, then its position in the list (from 0, as listed). A text that names two adapters
// (two with the same display text) is refused rather than guessed.
AdapterChoice ChooseAdapterNamed(const std::vector<local_adapter_stu>& adapters, const std::string& wanted);

}  // namespace provix
