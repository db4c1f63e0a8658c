#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace provix {

// The waiting animation as a looping GIF file.
std::vector<std::uint8_t> EncodeSpinnerGif();

// Draws every image of the skin table into folder (created when missing). On failure returns false
// and says which file could not be written and why.
bool WriteSkin(const QString& folder, QString* error);

}  // namespace provix
