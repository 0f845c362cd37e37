// Delimited lists: a text whose first character d is its delimiter and which
// ends with d, e.g. "|Error|Attention|Confirm|". Field 0 lies between the
// first and the second d. Texts shorter than 2 characters, or whose last
// character is not their first, have no fields.
#ifndef STUB_UTIL_SUB_H
#define STUB_UTIL_SUB_H

#include <cstdint>
#include <string>
#include <vector>

class SUB {
public:
    // Delimiters tried, in this order, when a new list must avoid the
    // characters of its fields; the last resort is the byte 0xFF.
    static const char kCandidates[];

    static int FieldCount(const std::string& list);
    // index -1 is the last field; def when the field is missing or empty.
    static std::string Field(const std::string& list, int index, const std::string& def = "");
    static std::int64_t FieldInt(const std::string& list, int index, std::int64_t def);
    // First field equal to key (ignoring case; list and key trimmed), or
    // starting with key when prefixOnly; def when absent.
    static int IndexOf(const std::string& list, const std::string& key, int def = -1,
                       bool prefixOnly = false);
    static bool Contains(const std::string& list, const std::string& item, bool trim = true,
                         bool ci = true);
    // Looks up the entry key=value; out is def when absent and emptyDefault
    // when the entry has an empty value. True when the entry was found.
    static bool Value(const std::string& list, const std::string& key, std::string& out,
                      bool collapseBlanks = true, const std::string& emptyDefault = "",
                      const std::string& def = "");
    static std::string Left(const std::string& list);
    static std::string Right(const std::string& list);
    static std::string Zip(const std::string& keys, const std::string& values,
                           bool trimEmpty = false);
    static std::string RemoveField(const std::string& list, int index);
    static std::string SetField(const std::string& list, int index, const std::string& text);
    static std::string FromArray(const std::vector<std::string>& texts, bool unique = false);
    static std::string Append(const std::string& list, const std::vector<std::string>& texts,
                              bool unique = false);
    static std::string Reverse(const std::string& list);
    static std::string Distinct(const std::string& list);
    static std::string TrimEmpty(const std::string& list, bool atEnd = true, bool atStart = false);
    static std::string ChooseDelimiter(const std::string& list);
    static std::string ChangeDelimiter(const std::string& list, char d2);

    // The fields as texts (empty for a text without fields).
    static std::vector<std::string> Fields(const std::string& list);
};

#endif
