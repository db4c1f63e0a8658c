#include "language/LocaleId.h"

#include <cstdlib>
#include <string>

namespace provix {
namespace {

constexpr unsigned kEnglishUs = 1033;

struct LocaleEntry {
    std::string_view name;  // "ll_CC", or "ll" for the language's main locale
    unsigned id;
};

constexpr LocaleEntry kLocales[] = {
    {"en_US", 1033}, {"en_GB", 2057},  {"en_AU", 3081},  {"en_CA", 4105}, {"en_NZ", 5129}, {"en_IE", 6153},
    {"en_ZA", 7177}, {"en_IN", 16393}, {"en_SG", 18441}, {"en", 1033},    {"zh_CN", 2052}, {"zh_TW", 1028},
    {"zh_HK", 3076}, {"zh_SG", 4100},  {"zh_MO", 5124},  {"zh", 2052},    {"de_DE", 1031}, {"de_CH", 2055},
    {"de_AT", 3079}, {"de_LU", 4103},  {"de", 1031},     {"fr_FR", 1036}, {"fr_BE", 2060}, {"fr_CA", 3084},
    {"fr_CH", 4108}, {"fr_LU", 5132},  {"fr", 1036},     {"es_ES", 3082}, {"es_MX", 2058}, {"es_AR", 11274},
    {"es_CO", 9226}, {"es_CL", 13322}, {"es_US", 21514}, {"es", 3082},    {"pt_BR", 1046}, {"pt_PT", 2070},
    {"pt", 2070},    {"it_IT", 1040},  {"it_CH", 2064},  {"it", 1040},    {"ja_JP", 1041}, {"ja", 1041},
    {"ko_KR", 1042}, {"ko", 1042},     {"ru_RU", 1049},  {"ru", 1049},    {"nl_NL", 1043}, {"nl_BE", 2067},
    {"nl", 1043},    {"pl_PL", 1045},  {"pl", 1045},     {"tr_TR", 1055}, {"tr", 1055},    {"uk_UA", 1058},
    {"uk", 1058},    {"cs_CZ", 1029},  {"cs", 1029},     {"sv_SE", 1053}, {"sv", 1053},    {"da_DK", 1030},
    {"da", 1030},    {"fi_FI", 1035},  {"fi", 1035},     {"nb_NO", 1044}, {"nb", 1044},    {"el_GR", 1032},
    {"el", 1032},    {"hu_HU", 1038},  {"hu", 1038},     {"ro_RO", 1048}, {"ro", 1048},    {"ar_SA", 1025},
    {"ar", 1025},    {"he_IL", 1037},  {"he", 1037},     {"th_TH", 1054}, {"th", 1054},    {"vi_VN", 1066},
    {"vi", 1066},    {"id_ID", 1057},  {"id", 1057},     {"ms_MY", 1086}, {"ms", 1086},    {"hi_IN", 1081},
    {"hi", 1081},
};

unsigned Find(std::string_view name) {
    for (const LocaleEntry& e : kLocales) {
        if (e.name == name)
            return e.id;
    }
    return 0;
}

}  // namespace

unsigned LocaleIdFromPosix(std::string_view locale_name) {
    // language[_territory][.codeset][@modifier]
    const std::size_t cut = locale_name.find_first_of(".@");
    if (cut != std::string_view::npos)
        locale_name = locale_name.substr(0, cut);
    // Some systems write "zh-CN"; some variables hold "zh_cn".
    std::string name(locale_name.substr(0, 16));
    const std::size_t sep = name.find_first_of("_-");
    for (std::size_t i = 0; i < name.size(); ++i) {
        char& c = name[i];
        if (i == sep)
            c = '_';
        else if (sep != std::string::npos && i > sep && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if ((sep == std::string::npos || i < sep) && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    if (const unsigned id = Find(name))
        return id;
    if (sep != std::string::npos) {
        if (const unsigned id = Find(std::string_view(name).substr(0, sep)))
            return id;
    }
    return kEnglishUs;
}

unsigned SystemLocaleId() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return LocaleIdFromPosix(value);
    }
    return kEnglishUs;
}

}  // namespace provix
