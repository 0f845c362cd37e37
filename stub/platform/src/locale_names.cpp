// Windows locale identifiers of POSIX locale names; shared by both platforms.
#include "platform/locale.h"

namespace plat {

namespace {

struct LangRow {
    const char* code;   // ISO 639-1
    const char* region; // ISO 3166 (nullptr: any)
    std::uint32_t lcid;
};

// More specific rows (with region) come before the language's default row.
const LangRow kLanguages[] = {
    {"af", nullptr, 0x0436}, {"sq", nullptr, 0x041C}, {"ar", nullptr, 0x0401},
    {"eu", nullptr, 0x042D}, {"be", nullptr, 0x0423}, {"bg", nullptr, 0x0402},
    {"ca", nullptr, 0x0403}, {"zh", "TW", 0x0404},    {"zh", "HK", 0x0C04},
    {"zh", "MO", 0x1404},    {"zh", "SG", 0x1004},    {"zh", nullptr, 0x0804},
    {"hr", nullptr, 0x041A}, {"cs", nullptr, 0x0405}, {"da", nullptr, 0x0406},
    {"nl", "BE", 0x0813},    {"nl", nullptr, 0x0413}, {"en", "GB", 0x0809},
    {"en", "AU", 0x0C09},    {"en", "CA", 0x1009},    {"en", "NZ", 0x1409},
    {"en", "IE", 0x1809},    {"en", nullptr, 0x0409}, {"et", nullptr, 0x0425},
    {"fo", nullptr, 0x0438}, {"fa", nullptr, 0x0429}, {"fi", nullptr, 0x040B},
    {"fr", "BE", 0x080C},    {"fr", "CA", 0x0C0C},    {"fr", "CH", 0x100C},
    {"fr", nullptr, 0x040C}, {"de", "CH", 0x0807},    {"de", "AT", 0x0C07},
    {"de", nullptr, 0x0407}, {"el", nullptr, 0x0408}, {"he", nullptr, 0x040D},
    {"iw", nullptr, 0x040D}, {"hu", nullptr, 0x040E}, {"is", nullptr, 0x040F},
    {"id", nullptr, 0x0421}, {"it", "CH", 0x0810},    {"it", nullptr, 0x0410},
    {"ja", nullptr, 0x0411}, {"ko", nullptr, 0x0412}, {"lv", nullptr, 0x0426},
    {"lt", nullptr, 0x0427}, {"nb", nullptr, 0x0414}, {"no", nullptr, 0x0414},
    {"nn", nullptr, 0x0814}, {"pl", nullptr, 0x0415}, {"pt", "BR", 0x0416},
    {"pt", nullptr, 0x0816}, {"ro", nullptr, 0x0418}, {"ru", nullptr, 0x0419},
    {"sr", nullptr, 0x0C1A}, {"sk", nullptr, 0x041B}, {"sl", nullptr, 0x0424},
    {"es", "MX", 0x080A},    {"es", nullptr, 0x0C0A}, {"sv", "FI", 0x081D},
    {"sv", nullptr, 0x041D}, {"th", nullptr, 0x041E}, {"tr", nullptr, 0x041F},
    {"uk", nullptr, 0x0422}, {"vi", nullptr, 0x042A},
};

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

} // namespace

std::uint32_t locale_id_from_name(const std::string& name) {
    // "de_DE.UTF-8@euro": language, then region up to "." or "@".
    std::string lang = name.substr(0, name.find_first_of("_.@-"));
    std::string region;
    std::size_t us = name.find_first_of("_-");
    if (us != std::string::npos)
        region = name.substr(us + 1, name.find_first_of(".@", us) - us - 1);
    lang = lower(lang);
    region = upper(region);
    if (lang == "sr" && name.find("@latin") != std::string::npos)
        return 0x081A;
    for (const LangRow& row : kLanguages) {
        if (lang != row.code)
            continue;
        if (row.region && region != row.region)
            continue;
        return row.lcid;
    }
    return 0;
}

} // namespace plat
