#pragma once

#include <string>

namespace provix {

// Display text of the adapter chosen last (by a list refresh or the start of a scan); the devices
// screen shows it. Set and read on the interface thread; guarded anyway because it is program-wide.
std::string CurrentAdapterText();
void SetCurrentAdapterText(const std::string& text);

}  // namespace provix
