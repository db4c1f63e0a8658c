#include "MiniJson.h"

#include <charconv>
#include <cstdlib>

namespace provix::test {

namespace {

constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(std::string_view in) : input(in) {}

    bool Document(JsonValue& value, std::string& error) {
        if (!Value(value, 0)) {
            error = message + " at byte " + std::to_string(pos);
            return false;
        }
        Space();
        if (pos != input.size()) {
            error = "trailing text at byte " + std::to_string(pos);
            return false;
        }
        return true;
    }

private:
    bool Fail(const char* what) {
        if (message.empty())
            message = what;
        return false;
    }

    void Space() {
        while (pos < input.size() &&
               (input[pos] == ' ' || input[pos] == '\n' || input[pos] == '\r' || input[pos] == '\t')) {
            ++pos;
        }
    }

    bool Literal(std::string_view word) {
        if (input.substr(pos, word.size()) != word)
            return Fail("unknown literal");
        pos += word.size();
        return true;
    }

    static void AppendUtf8(std::string& out, uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xc0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        } else {
            out += static_cast<char>(0xe0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (cp & 0x3f));
        }
    }

    bool String(std::string& out) {
        ++pos;  // opening quote
        out.clear();
        while (pos < input.size()) {
            const char c = input[pos++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return Fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos >= input.size())
                break;
            const char e = input[pos++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    if (pos + 4 > input.size())
                        return Fail("short \\u escape");
                    uint32_t cp = 0;
                    const auto r = std::from_chars(input.data() + pos, input.data() + pos + 4, cp, 16);
                    if (r.ptr != input.data() + pos + 4)
                        return Fail("bad \\u escape");
                    pos += 4;
                    AppendUtf8(out, cp);
                    break;
                }
                default:
                    return Fail("bad escape");
            }
        }
        return Fail("unterminated string");
    }

    bool Number(JsonValue& value) {
        const size_t start = pos;
        if (input[pos] == '-')
            ++pos;
        while (pos < input.size() &&
               ((input[pos] >= '0' && input[pos] <= '9') || input[pos] == '.' || input[pos] == 'e' ||
                input[pos] == 'E' || input[pos] == '+' || input[pos] == '-')) {
            ++pos;
        }
        const std::string text(input.substr(start, pos - start));
        char* end = nullptr;
        value.number = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0')
            return Fail("bad number");
        value.type = JsonValue::Type::kNumber;
        return true;
    }

    bool Value(JsonValue& value, int depth) {
        if (depth > kMaxDepth)
            return Fail("nested too deeply");
        Space();
        if (pos >= input.size())
            return Fail("unexpected end");
        const char c = input[pos];
        if (c == '{') {
            value.type = JsonValue::Type::kObject;
            ++pos;
            Space();
            if (pos < input.size() && input[pos] == '}') {
                ++pos;
                return true;
            }
            while (true) {
                Space();
                if (pos >= input.size() || input[pos] != '"')
                    return Fail("expected a member name");
                std::string key;
                if (!String(key))
                    return false;
                Space();
                if (pos >= input.size() || input[pos] != ':')
                    return Fail("expected ':'");
                ++pos;
                JsonValue member;
                if (!Value(member, depth + 1))
                    return false;
                value.members.emplace_back(std::move(key), std::move(member));
                Space();
                if (pos < input.size() && input[pos] == ',') {
                    ++pos;
                    continue;
                }
                if (pos < input.size() && input[pos] == '}') {
                    ++pos;
                    return true;
                }
                return Fail("expected ',' or '}'");
            }
        }
        if (c == '[') {
            value.type = JsonValue::Type::kArray;
            ++pos;
            Space();
            if (pos < input.size() && input[pos] == ']') {
                ++pos;
                return true;
            }
            while (true) {
                JsonValue item;
                if (!Value(item, depth + 1))
                    return false;
                value.items.push_back(std::move(item));
                Space();
                if (pos < input.size() && input[pos] == ',') {
                    ++pos;
                    continue;
                }
                if (pos < input.size() && input[pos] == ']') {
                    ++pos;
                    return true;
                }
                return Fail("expected ',' or ']'");
            }
        }
        if (c == '"') {
            value.type = JsonValue::Type::kString;
            return String(value.text);
        }
        if (c == 't' || c == 'f') {
            value.type = JsonValue::Type::kBool;
            value.boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n')
            return Literal("null");
        if (c == '-' || (c >= '0' && c <= '9'))
            return Number(value);
        return Fail("unexpected character");
    }

    std::string_view input;
    size_t pos = 0;
    std::string message;
};

}  // namespace

const JsonValue& JsonValue::operator[](std::string_view key) const {
    static const JsonValue kNull;
    for (const auto& [name, value] : members) {
        if (name == key)
            return value;
    }
    return kNull;
}

bool ParseJson(std::string_view input, JsonValue& value, std::string& error) {
    value = JsonValue();
    return Parser(input).Document(value, error);
}

}  // namespace provix::test
