#include "LanguageTable.h"

#include "platform/locale.h"
#include "util/numbers.h"
#include "util/sub.h"
#include "util/text.h"

#include <cstdio>

namespace language {

namespace {

// Rows are searched in this order and matched by containment of the id text,
// so "26" finds CROATIAN before SERBIAN and "52" finds CHINESE(SIMPLIFIED).
const char kLanguageIds[] = "|AFRIKAANS            = 54"
                            "|ALBANIAN             = 28"
                            "|ARABIC               = 01"
                            "|BASQUE               = 45"
                            "|BELARUSIAN           = 35"
                            "|BULGARIAN            = 02"
                            "|CATALAN              = 03"
                            "|CHINESE              = 04"
                            "|CROATIAN             = 26"
                            "|CZECH                = 05"
                            "|DANISH               = 06"
                            "|DUTCH                = 19"
                            "|ENGLISH              = 09"
                            "|ESTONIAN             = 37"
                            "|FAEROESE             = 56"
                            "|FARSI                = 41"
                            "|FINNISH              = 11"
                            "|FRENCH               = 12"
                            "|GERMAN               = 07"
                            "|GREEK                = 08"
                            "|HEBREW               = 13"
                            "|HUNGARIAN            = 14"
                            "|ICELANDIC            = 15"
                            "|INDONESIAN           = 33"
                            "|ITALIAN              = 16"
                            "|JAPANESE             = 17"
                            "|KOREAN               = 18"
                            "|LATVIAN              = 38"
                            "|LITHUANIAN           = 39"
                            "|NORWEGIAN            = 20"
                            "|POLISH               = 21"
                            "|PORTUGUESE           = 22"
                            "|ROMANIAN             = 24"
                            "|RUSSIAN              = 25"
                            "|SERBIAN              = 26"
                            "|SLOVAK               = 27"
                            "|SLOVENIAN            = 36"
                            "|SPANISH              = 10"
                            "|SWEDISH              = 29"
                            "|THAI                 = 30"
                            "|TURKISH              = 31"
                            "|UKRAINIAN            = 34"
                            "|VIETNAMESE           = 42"
                            "|CHINESE(SIMPLIFIED)  = 2052"
                            "|CHINESE(TRADITIONAL) = 1028"
                            "|DUTCH(FLEMISH)       = 2067"
                            "|DUTCH(STANDARD)      = 1043"
                            "|PORTUGUESE(PORTUGAL) = 2070"
                            "|PORTUGUESE(BRAZIL)   = 1046"
                            "|SERBIAN(LATIN)       = 2074"
                            "|SERBIAN(CYRILIC)     = 3098|";

struct BuiltIn {
    const char* key;
    const char* text;
};

const BuiltIn kBuiltIns[] = {
    {"s0", "Harbix Installation Suite"},
    {"s1", "Extracting Files..."},
    {"s2", "Harbix will extract files to your Temp Drive (<DRIVE>)<P>"},
    {"s3", "Limited Free Space on your Temp Drive! (<DRIVE>)<P>"},
    {"s4", "<P>Estimated space required on your Temp drive is: <T>  <SPACE_REQ> MB<P>"},
    {"s5", "Free space available on your Temp drive is: <T>  <SPACE_AVAIL> MB<P>"},
    {"s6", "<P>Continue with Setup?<P>"},
    {"s7", "Bad CRC!<P>This indicates that your setup file might be corrupted..."},
    {"s8", "Please insert <B>DISK #<DISK_NUM></B> and press OK to continue"},
    {"s10", "Downloading File..."},
    {"s11", "<b>INTERNET DOWNLOAD</b><p><p>Harbix will download the Setup File from the "
            "Internet...<p>Please make sure your Internet connection is properly set.<p><p>"
            "Continue with Setup?<p><P>Size: <SIZE> MB<P>"},
    {"s12", "No valid Internet Connection.<p>Can not Download File!"},
    {"BtnText", "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|"},
    {"Attention", "Attention"},
    {"Confirm", "Confirm"},
    {"Error", "Error"},
    {"Charset", "0"},
    {"FontSize", "8"},
    {"FontName", "Tahoma"},
};

struct Selection {
    bool bMade = false;
    std::string sItem; // empty: "none", every lookup gives its default
};

Selection& ProcessSelection() {
    static Selection selection;
    return selection;
}

std::string FindByName(const std::vector<std::string>& items, const std::string& sWanted) {
    for (const std::string& item : items)
        if (SameTextTrimmed(SUB::Field(item, 0), sWanted))
            return item;
    return items.size() == 1 ? items.front() : std::string();
}

} // namespace

std::string LanguageName(unsigned nPrimaryId) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02u", nPrimaryId);
    for (const std::string& row : SUB::Fields(kLanguageIds))
        if (row.find(digits) != std::string::npos)
            return Trim(row.substr(0, row.find('=')));
    return std::string();
}

bool IsLanguageName(const std::string& sName) {
    for (const std::string& row : SUB::Fields(kLanguageIds))
        if (SameTextTrimmed(row.substr(0, row.find('=')), sName))
            return true;
    return false;
}

unsigned PrimaryLanguageId(std::uint32_t nLocaleId) {
    if ((nLocaleId & 0xFFFF) == 0)
        return 9;
    return nLocaleId & 0x3FF;
}

std::string UserLanguageName() {
    return LanguageName(PrimaryLanguageId(plat::thread_locale_id()));
}

std::vector<std::string> LanguageItems(const std::string& sBlock) {
    std::vector<std::string> items;
    for (const std::string& item : SUB::Fields(sBlock))
        if (!item.empty())
            items.push_back(item);
    return items;
}

std::vector<std::string> LanguageNames(const std::string& sBlock) {
    std::vector<std::string> names;
    for (const std::string& item : LanguageItems(sBlock))
        names.push_back(Trim(SUB::Field(item, 0)));
    return names;
}

std::string SelectLanguage(const std::string& sBlock, const std::string& sWanted) {
    std::vector<std::string> items = LanguageItems(sBlock);
    std::string item = FindByName(items, sWanted);
    if (item.empty())
        item = FindByName(items, "English");
    return item;
}

std::string LookupKey(const std::string& sItem, const std::string& sKey,
                      const std::string& sDefault) {
    if (sItem.empty())
        return sDefault;
    std::string value;
    SUB::Value(sItem, sKey, value, true, "", sDefault);
    return value;
}

std::string LanguageString(const std::string& sBlock, const std::string& sKey,
                           const std::string& sDefault) {
    Selection& selection = ProcessSelection();
    if (!selection.bMade) {
        selection.sItem = SelectLanguage(sBlock, UserLanguageName());
        selection.bMade = true;
    }
    return LookupKey(selection.sItem, sKey, sDefault);
}

std::string LanguageString(const std::string& sBlock, const std::string& sKey) {
    return LanguageString(sBlock, sKey, BuiltInText(sKey));
}

int Charset(const std::string& sBlock) {
    return static_cast<int>(ParseInt64(LanguageString(sBlock, "Charset", "0"), 0));
}

int FontSize(const std::string& sBlock) {
    return static_cast<int>(ParseInt64(LanguageString(sBlock, "FontSize", "8"), 8));
}

std::string FontName(const std::string& sBlock) {
    return LanguageString(sBlock, "FontName", "Tahoma");
}

std::string BuiltInText(const std::string& sKey) {
    for (const BuiltIn& builtIn : kBuiltIns)
        if (sKey == builtIn.key)
            return builtIn.text;
    return std::string();
}

void ResetLanguageSelection() {
    ProcessSelection() = Selection();
}

} // namespace language
