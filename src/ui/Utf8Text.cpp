#include "ui/Utf8Text.h"

#include <cstdint>

#include <locale.h>
#include <wctype.h>

namespace provix {
namespace {

// Length of the well-formed sequence starting at text[pos] and its code point, or 0 when invalid.
std::size_t DecodeOne(std::string_view text, std::size_t pos, char32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        len = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > text.size())
        return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const unsigned char c = byte(pos + i);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// 0x80..0x9F of Windows-1252; the rest of the upper half equals Latin-1. Unassigned bytes map to
// the C1 control of the same value, as Windows does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The case tables of C.UTF-8 hold all of Unicode, unlike the "C" locale a process starts in.
locale_t CaseLocale() {
    static const locale_t locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            if (locale_t l = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0)))
                return l;
        }
        return static_cast<locale_t>(0);
    }();
    return locale;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
    char32_t cp = 0;
    return pos < text.size() ? DecodeOne(text, pos, cp) : 0;
}

bool IsValidUtf8(std::string_view bytes) {
    char32_t cp = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t len = DecodeOne(bytes, pos, cp);
        if (len == 0)
            return false;
        pos += len;
    }
    return true;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
    }
    return out;
}

std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) -> char16_t {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return static_cast<char16_t>(big_endian ? (a << 8) | b : (b << 8) | a);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char16_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? char32_t(0xFFFD) : char32_t(u));
    }
    return out;
}

std::string Utf8Left(std::string_view text, std::size_t max_chars) {
    std::size_t pos = 0;
    char32_t cp = 0;
    for (std::size_t chars = 0; chars < max_chars && pos < text.size(); ++chars) {
        const std::size_t len = DecodeOne(text, pos, cp);
        pos += len == 0 ? 1 : len;
    }
    return std::string(text.substr(0, pos));
}

std::string Utf8ToLower(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const locale_t locale = CaseLocale();
    char32_t cp = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[pos]);
        if (lead < 0x80) {
            out += static_cast<char>(lead >= 'A' && lead <= 'Z' ? lead + ('a' - 'A') : lead);
            ++pos;
            continue;
        }
        const std::size_t len = DecodeOne(text, pos, cp);
        if (len == 0) {
            out += static_cast<char>(lead);
            ++pos;
            continue;
        }
        if (locale) {
            const wint_t lower = towlower_l(static_cast<wint_t>(cp), locale);
            if (lower > 0 && lower <= 0x10FFFF && !(lower >= 0xD800 && lower <= 0xDFFF))
                cp = static_cast<char32_t>(lower);
        }
        AppendUtf8(out, cp);
        pos += len;
    }
    return out;
}

}  // namespace provix
