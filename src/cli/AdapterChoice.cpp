#include "cli/AdapterChoice.h"

#include "protocol/AdapterList.h"

namespace provix {
namespace {

std::optional<std::size_t> IndexText(const std::string& text, std::size_t count) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t index = std::stoul(text);
    return index < count ? std::optional(index) : std::nullopt;
}

}  // namespace

AdapterChoice ChooseAdapterNamed(const std::vector<local_adapter_stu>& adapters, const std::string& wanted) {
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        if (adapters[i].name == wanted) {
            return {i, {}};
        }
    }
    std::optional<std::size_t> by_text;
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        if (AdapterDisplayText(adapters[i]) == wanted) {
            if (by_text) {
                return {std::nullopt,
                        "\"" + wanted + "\" names more than one adapter; use its name or index"};
            }
            by_text = i;
        }
    }
    if (by_text) {
        return {by_text, {}};
    }
    if (const std::optional<std::size_t> index = IndexText(wanted, adapters.size())) {
        return {index, {}};
    }
    if (adapters.empty()) {
        return {std::nullopt, "no adapter found; ensure the computer's NIC is enabled"};
    }
    return {std::nullopt, "unknown adapter \"" + wanted + "\" (see provixctl adapters)"};
}

}  // namespace provix
