// Text routines shared by every part of Stub. Texts are narrow (ANSI) byte
// strings; "ignoring case" folds ASCII letters only.
#ifndef STUB_UTIL_TEXT_H
#define STUB_UTIL_TEXT_H

#include <string>

std::string Trim(const std::string& text);
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);
std::string UpperCase(const std::string& text);
std::string LowerCase(const std::string& text);
bool SameText(const std::string& a, const std::string& b);

std::string ReplaceAll(const std::string& text, const std::string& find,
                       const std::string& replacement);
std::string ReplaceAllCi(const std::string& text, const std::string& find,
                         const std::string& replacement);
std::string BeforeFirst(const std::string& text, const std::string& separator,
                        const std::string& def = "", bool trim = false);
std::string AfterFirst(const std::string& text, const std::string& separator,
                       const std::string& def = "", bool trim = false);
bool StartsWith(const std::string& prefix, const std::string& text, bool ci = true);
bool EndsWith(const std::string& suffix, const std::string& text, bool ci = true);
// 1-based position of sub in text ignoring case; 0 when absent.
std::size_t PosCi(const std::string& sub, const std::string& text);
bool SameTextTrimmed(const std::string& a, const std::string& b);
std::string Quote(const std::string& text);
std::string Unquote(const std::string& text);
std::string Surround(const std::string& text, char c);
std::string KeepChars(const std::string& text, const std::string& set);
std::string PadLeft(const std::string& text, int width, char c = ' ');
std::string ZeroPad(long long number, int width);
// File name of path (after the last "\" or "/") without its last extension,
// or without all extensions when all.
std::string BaseName(const std::string& path, bool all = false);
std::string WithBackslash(const std::string& path, bool add);
std::string BoolText(bool b);

// Decodes a text that starts with "Scrambled=01"; returns others unchanged.
std::string Unscramble(const std::string& text);

#endif
