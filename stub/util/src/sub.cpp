#include "util/sub.h"

#include <algorithm>

#include "util/numbers.h"
#include "util/text.h"

const char SUB::kCandidates[] = {'|', '*', '~', '^', '!', '@', '#', '$', '&', '\xFF'};

namespace {

bool HasFields(const std::string& list) {
    return list.size() >= 2 && list.front() == list.back();
}

// Joins fields with zero bytes as delimiters, the form in which a new
// delimiter can be chosen without confusing it with field text.
std::string JoinWithZero(const std::vector<std::string>& fields) {
    std::string r(1, '\0');
    for (const std::string& f : fields) {
        r += f;
        r += '\0';
    }
    return r;
}

// Turns the zero-byte form into a list: keeps preferred when no field holds
// it, otherwise picks the first free candidate.
std::string Finish(std::string joined, char preferred) {
    bool clash = false;
    for (std::size_t i = 0; i < joined.size() && !clash; ++i)
        clash = joined[i] == preferred;
    if (clash)
        return SUB::ChooseDelimiter(joined);
    for (char& c : joined)
        if (c == '\0')
            c = preferred;
    return joined;
}

bool ContainsCi(const std::vector<std::string>& items, const std::string& text) {
    for (const std::string& s : items)
        if (SameText(s, text))
            return true;
    return false;
}

} // namespace

std::vector<std::string> SUB::Fields(const std::string& list) {
    std::vector<std::string> out;
    if (!HasFields(list))
        return out;
    const char d = list.front();
    std::size_t start = 1;
    for (std::size_t i = 1; i < list.size(); ++i) {
        if (list[i] == d) {
            out.push_back(list.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

int SUB::FieldCount(const std::string& list) {
    if (!HasFields(list))
        return 0;
    int n = 0;
    for (std::size_t i = 1; i < list.size(); ++i)
        if (list[i] == list.front())
            ++n;
    return n;
}

std::string SUB::Field(const std::string& list, int index, const std::string& def) {
    if (index == -1)
        index = FieldCount(list) - 1;
    if (index < 0 || !HasFields(list))
        return def;
    const char d = list.front();
    std::size_t start = 0;
    for (int n = 0; n < index; ++n) {
        start = list.find(d, start + 1);
        if (start == std::string::npos)
            return def;
    }
    std::size_t end = list.find(d, start + 1);
    if (end == std::string::npos)
        return def;
    std::string r = list.substr(start + 1, end - start - 1);
    return r.empty() ? def : r;
}

std::int64_t SUB::FieldInt(const std::string& list, int index, std::int64_t def) {
    return ParseInt64(Field(list, index, ""), def);
}

int SUB::IndexOf(const std::string& list, const std::string& key, int def, bool prefixOnly) {
    const std::vector<std::string> fields = Fields(Trim(list));
    const std::string trimmedKey = Trim(key);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& f = fields[i];
        bool hit = prefixOnly ? (StartsWith(key, f, true) || StartsWith(trimmedKey, f, true))
                              : (SameText(f, key) || SameText(f, trimmedKey));
        if (hit)
            return static_cast<int>(i);
    }
    return def;
}

bool SUB::Contains(const std::string& list, const std::string& item, bool trim, bool ci) {
    std::string l = trim ? Trim(list) : list;
    std::string it = trim ? Trim(item) : item;
    if (l.empty())
        return false;
    const std::string pattern = l.front() + it + l.front();
    return ci ? PosCi(pattern, l) > 0 : l.find(pattern) != std::string::npos;
}

bool SUB::Value(const std::string& list, const std::string& key, std::string& out,
                bool collapseBlanks, const std::string& emptyDefault, const std::string& def) {
    out = def;
    if (list.size() <= 2 || list.front() != list.back())
        return false;
    const char d = list.front();
    std::string pattern = d + key;
    if (key == "=" || key.empty() || key.back() != '=')
        pattern += '=';
    std::string text = list;
    if (text.find(' ') != std::string::npos) {
        if (collapseBlanks) {
            std::string squeezed;
            for (char c : text) {
                if (c == '=')
                    while (!squeezed.empty() && squeezed.back() == ' ')
                        squeezed.pop_back();
                squeezed += c;
            }
            text = squeezed;
        } else {
            std::size_t eq = text.find(" =");
            if (eq != std::string::npos) {
                std::size_t b = eq;
                while (b > 0 && text[b - 1] == ' ')
                    --b;
                text.erase(b, eq + 1 - b);
            }
        }
    }
    std::size_t at = PosCi(pattern, text);
    if (at == 0)
        return false;
    std::size_t from = at - 1 + pattern.size();
    std::size_t to = text.find(d, from);
    std::string value = text.substr(from, to == std::string::npos ? std::string::npos : to - from);
    out = value.empty() ? emptyDefault : value;
    return true;
}

std::string SUB::Left(const std::string& list) {
    std::vector<std::string> fields = Fields(list);
    if (fields.empty())
        return std::string();
    for (std::string& f : fields)
        f = BeforeFirst(f, "=", f);
    return Finish(JoinWithZero(fields), list.front());
}

std::string SUB::Right(const std::string& list) {
    std::vector<std::string> fields = Fields(list);
    if (fields.empty())
        return std::string();
    for (std::string& f : fields)
        f = AfterFirst(f, "=", "");
    return Finish(JoinWithZero(fields), list.front());
}

std::string SUB::Zip(const std::string& keys, const std::string& values, bool trimEmpty) {
    const std::vector<std::string> k = Fields(keys);
    const std::vector<std::string> v = Fields(values);
    std::size_t n = std::max(k.size(), v.size());
    if (n == 0)
        return std::string();
    std::vector<std::string> pairs;
    for (std::size_t i = 0; i < n; ++i) {
        std::string key = i < k.size() ? k[i] : std::string();
        std::string value = i < v.size() ? v[i] : std::string();
        if (trimEmpty && Trim(key).empty() && Trim(value).empty())
            continue;
        pairs.push_back(key + "=" + value);
    }
    if (pairs.empty())
        return std::string();
    char d = HasFields(keys) ? keys.front() : values.front();
    return Finish(JoinWithZero(pairs), d);
}

std::string SUB::RemoveField(const std::string& list, int index) {
    std::vector<std::string> fields = Fields(list);
    if (index < 0 || static_cast<std::size_t>(index) >= fields.size())
        return list;
    fields.erase(fields.begin() + index);
    if (fields.empty())
        return std::string();
    return Finish(JoinWithZero(fields), list.front());
}

std::string SUB::SetField(const std::string& list, int index, const std::string& text) {
    if (index < 0)
        return list;
    const std::string l = list.empty() ? std::string("|") : list;
    std::vector<std::string> fields = Fields(l);
    if (fields.size() < static_cast<std::size_t>(index) + 1)
        fields.resize(static_cast<std::size_t>(index) + 1);
    fields[static_cast<std::size_t>(index)] = text;
    return Finish(JoinWithZero(fields), l.front());
}

std::string SUB::FromArray(const std::vector<std::string>& texts, bool unique) {
    return Append(std::string(), texts, unique);
}

std::string SUB::Append(const std::string& list, const std::vector<std::string>& texts,
                        bool unique) {
    std::vector<std::string> fields = Fields(list);
    for (const std::string& t : texts) {
        if (unique && ContainsCi(fields, t))
            continue;
        fields.push_back(t);
    }
    if (fields.empty())
        return HasFields(list) ? list : std::string();
    return Finish(JoinWithZero(fields), HasFields(list) ? list.front() : kCandidates[0]);
}

std::string SUB::Reverse(const std::string& list) {
    std::vector<std::string> fields = Fields(list);
    if (fields.empty())
        return list;
    std::string r(1, list.front());
    for (auto it = fields.rbegin(); it != fields.rend(); ++it)
        r += *it + list.front();
    return r;
}

std::string SUB::Distinct(const std::string& list) {
    std::vector<std::string> seen;
    for (const std::string& f : Fields(list)) {
        std::string t = Trim(f);
        if (!t.empty() && !ContainsCi(seen, t))
            seen.push_back(t);
    }
    if (seen.empty())
        return std::string();
    std::string r(1, list.front());
    for (const std::string& s : seen)
        r += s + list.front();
    return r;
}

std::string SUB::TrimEmpty(const std::string& list, bool atEnd, bool atStart) {
    if (!HasFields(list))
        return list.size() == 1 ? std::string() : list;
    const char d = list.front();
    std::string r = list;
    if (atEnd)
        while (r.size() >= 2 && r[r.size() - 2] == d)
            r.pop_back();
    if (atStart)
        while (r.size() >= 2 && r[1] == d)
            r.erase(0, 1);
    return r.size() == 1 ? std::string() : r;
}

std::string SUB::ChooseDelimiter(const std::string& list) {
    if (list.size() <= 1)
        return std::string();
    std::string r = list;
    if (r.find('\0') == std::string::npos) {
        const char d = r.front();
        for (char& c : r)
            if (c == d)
                c = '\0';
    }
    char chosen = kCandidates[sizeof(kCandidates) - 1];
    for (char c : kCandidates) {
        if (r.find(c) == std::string::npos) {
            chosen = c;
            break;
        }
    }
    for (char& c : r)
        if (c == '\0')
            c = chosen;
    return r;
}

std::string SUB::ChangeDelimiter(const std::string& list, char d2) {
    if (list.empty())
        return list;
    const char d = list.front();
    std::string r = list;
    for (char& c : r)
        if (c == d)
            c = d2;
    return r;
}
