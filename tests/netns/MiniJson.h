#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace provix::test {

// Just enough JSON to read the emulator's dumps: no dependency, bounded depth, strict syntax.
class JsonValue {
public:
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };

    Type type = Type::kNull;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member's value, or a shared null value when absent (or when this is no object).
    const JsonValue& operator[](std::string_view key) const;
    uint64_t AsU64() const { return type == Type::kNumber && number > 0 ? static_cast<uint64_t>(number) : 0; }
    int AsInt() const { return type == Type::kNumber ? static_cast<int>(number) : 0; }
};

// False with a message (and the byte offset) on malformed input.
bool ParseJson(std::string_view input, JsonValue& value, std::string& error);

}  // namespace provix::test
