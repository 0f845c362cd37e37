#include "startup/switches.h"

#include "platform/files.h"
#include "util/numbers.h"
#include "util/text.h"

namespace {

const char kItem = '\x01';

bool Lookup(const std::string& args, const std::string& name, std::string& value) {
    const std::string sw = Trim(name);
    const char lead = (!sw.empty() && sw.front() == '-') ? '-' : '/';
    std::string key = ReplaceAll(sw, std::string(1, lead), "");
    if (key.empty() || key.back() != '=')
        key += '=';

    std::string list = ReplaceAll(" " + args, "\"", "");
    list = ReplaceAll(list, std::string(" ") + lead, std::string(1, kItem));
    list = kItem + list + kItem;
    if (list.find(' ') != std::string::npos) {
        std::string squeezed;
        for (char c : list) {
            if (c == '=')
                while (!squeezed.empty() && squeezed.back() == ' ')
                    squeezed.pop_back();
            squeezed += c;
        }
        list = squeezed;
    }
    const std::size_t at = PosCi(kItem + key, list);
    if (at == 0)
        return false;
    const std::size_t from = at - 1 + 1 + key.size();
    const std::size_t to = list.find(kItem, from);
    value = Trim(list.substr(from, to == std::string::npos ? to : to - from));
    return true;
}

} // namespace

std::string CommandArgs(const std::string& commandLine, const std::string& programPath) {
    const std::size_t slash = programPath.find_last_of("\\/");
    const std::string name =
        slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    std::string c = commandLine;
    bool cut = false;
    if (!name.empty()) {
        if (std::size_t at = PosCi(name + "\"", c); at > 0) {
            c.erase(0, at - 1 + name.size() + 1);
            cut = true;
        } else if (std::size_t at2 = PosCi(name, c); at2 > 0) {
            c.erase(0, at2 - 1 + name.size());
            cut = true;
        }
    }
    if (!cut && !programPath.empty()) {
        if (std::size_t at = PosCi(programPath, c); at > 0)
            c.erase(at - 1, programPath.size());
    }
    if (cut && Trim(c).size() == 1)
        c.clear();
    return Trim(c);
}

std::string CommandArgs() {
    return CommandArgs(plat::command_line(), plat::program_path());
}

std::string SwitchValueIn(const std::string& args, const std::string& name,
                          const std::string& def) {
    std::string value;
    return Lookup(args, name, value) ? value : def;
}

std::int64_t SwitchIntIn(const std::string& args, const std::string& name, std::int64_t def) {
    std::string value;
    return Lookup(args, name, value) ? ParseInt64(value, def) : def;
}

bool HasSwitchIn(const std::string& args, const std::string& name) {
    return PosCi(name + " ", args + " ") > 0;
}

std::string SwitchValue(const std::string& name, const std::string& def) {
    return SwitchValueIn(CommandArgs(), name, def);
}

std::int64_t SwitchInt(const std::string& name, std::int64_t def) {
    return SwitchIntIn(CommandArgs(), name, def);
}

bool HasSwitch(const std::string& name) {
    return HasSwitchIn(CommandArgs(), name);
}
