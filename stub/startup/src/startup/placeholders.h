// Path templates: "<WinDir>", "<SrcDir>", "<Date=4>" and the other tokens
// turned into real paths and values.
#ifndef STUB_STARTUP_PLACEHOLDERS_H
#define STUB_STARTUP_PLACEHOLDERS_H

#include <string>

// Expands the date, value and (withFolders) folder tokens of text; a folder
// token is followed by trailing unless it ends the text, stands before a
// blank or ends an item of a separated list. With expandRelative, paths with
// ".." (or each such item of a "|" or "," list) become full paths.
std::string ExpandPlaceholders(const std::string& text, const std::string& trailing,
                               bool expandRelative, bool withFolders);

// The folder-token rule on its own: every occurrence of token (ignoring
// case) becomes value, followed by trailing where the rule says so.
std::string ReplaceFolderToken(const std::string& text, const std::string& token,
                               const std::string& value, const std::string& trailing);

// Doubled separators made single, keeping a leading "\\" (UNC), pairs after a
// double-byte lead byte and pairs that start an item of a separated list.
std::string CollapseBackslashes(const std::string& text);

// The date token's text for character c ('#', '0'..'7') on the given day,
// with the given separators; empty for any other character.
std::string DateTokenText(char c, int year, int month, int day, int hour, int minute, int second,
                          const std::string& dateSep, const std::string& timeSep);

#endif
