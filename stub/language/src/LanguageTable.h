// Language texts of a package: the language block (a list of languages, each
// a list of key=value texts), the table of language names by Windows
// language id, the once-per-process choice of a language and the keys with
// their built-in English texts.
#ifndef STUB_LANGUAGE_LANGUAGETABLE_H
#define STUB_LANGUAGE_LANGUAGETABLE_H

#include <cstdint>
#include <string>
#include <vector>

namespace language {

// Name of the table row whose text contains the id written with at least two
// digits (first row wins); empty when none does.
std::string LanguageName(unsigned nPrimaryId);

// True when sName (trimmed, ignoring case) is a name of the table, so that a
// user's locale can choose it.
bool IsLanguageName(const std::string& sName);

// Primary language id of a locale identifier: its low 10 bits, 9 (English)
// for a locale whose low 16 bits are 0.
unsigned PrimaryLanguageId(std::uint32_t nLocaleId);

// Language name of the user, from the platform's thread locale.
std::string UserLanguageName();

// The language items of a block, and the name (item 0) of each.
std::vector<std::string> LanguageItems(const std::string& sBlock);
std::vector<std::string> LanguageNames(const std::string& sBlock);

// The language item chosen for a user whose language is sWanted: a language
// of that name, else the only language, else the same for "English". Empty
// when nothing fits.
std::string SelectLanguage(const std::string& sBlock, const std::string& sWanted);

// Value of sKey in one language item; sDefault when the key is missing. An
// entry with an empty value gives an empty text.
std::string LookupKey(const std::string& sItem, const std::string& sKey,
                      const std::string& sDefault);

// Looks sKey up in the language chosen for this process. The choice is made
// on the first call, from the block passed then, and kept for every later
// call whatever block is passed.
std::string LanguageString(const std::string& sBlock, const std::string& sKey,
                           const std::string& sDefault);
// The same with the built-in text of the key as default.
std::string LanguageString(const std::string& sBlock, const std::string& sKey);
int Charset(const std::string& sBlock);
int FontSize(const std::string& sBlock);
std::string FontName(const std::string& sBlock);

// Built-in English text of a key; empty for an unknown key.
std::string BuiltInText(const std::string& sKey);

// Forgets the process-wide choice, so that tests can choose again.
void ResetLanguageSelection();

} // namespace language

#endif
