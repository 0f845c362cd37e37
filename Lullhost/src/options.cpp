#include "ToolOptions.h"

#include "zeb-tools-trace.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <istream>
#include <string>
#include <sys/stat.h>

namespace {

const int kVersion[4] = {1, 1, 0, 0};

bool is_prefix(char c) {
    return c == '-' || c == '/';
}

// The value following a keyword: null when missing or when it looks like another option.
const char* option_value(int argc, char** argv, int i) {
    if (i + 1 >= argc || is_prefix(argv[i + 1][0]))
        return nullptr;
    return argv[i + 1];
}

int mode_from_word(const char* word) {
    static const struct {
        const char* word;
        int mode;
    } modes[] = {{"account_check", SRV_OP_CHECK_AUTH},
                 {"suspend_vms", SRV_OP_SUSPEND},
                 {"reboot_vms", SRV_OP_REBOOT},
                 {"check_maintenance_mode", SRV_OP_CHECK_SRV_MODE}};
    for (const auto& m : modes)
        if (std::strcmp(word, m.word) == 0)
            return m.mode;
    return SRV_OP_UNDEF;
}

int trace_mode_from_word(const char* word) {
    if (std::strcmp(word, "info") == 0)
        return TRACE_MODE_INFO;
    if (std::strcmp(word, "verbose") == 0)
        return TRACE_MODE_VERBOSE;
    if (std::strcmp(word, "debug") == 0)
        return TRACE_MODE_DEBUG;
    return -1;
}

// Minutes as the C library reads them (leading digits), in seconds; clamped instead of
// overflowing on absurdly large numbers. 0 when the text has no digits or says 0, which is no
// timeout: a VM command would be abandoned at once while the host completes it.
int minutes_to_seconds(const char* text) {
    long long minutes = std::strtoll(text, nullptr, 10);
    if (minutes <= 0)
        return 0;
    if (minutes > INT_MAX / 60)
        return INT_MAX / 60 * 60;
    return static_cast<int>(minutes) * 60;
}

bool is_ipv4(const std::string& text) {
    int parts = 0;
    size_t i = 0;
    while (i <= text.size()) {
        size_t digits = 0;
        int value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 4) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        ++parts;
        if (i == text.size())
            return parts == 4;
        if (text[i] != '.')
            return false;
        ++i;
    }
    return false;
}

bool is_bracketed_ipv6(const std::string& text) {
    if (text.size() < 4 || text.front() != '[' || text.back() != ']')
        return false;
    bool colon = false;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        const char c = text[i];
        colon = colon || c == ':';
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.')
            return false;
    }
    return colon;
}

bool is_host_name(const std::string& text) {
    if (text.empty() || text.size() > 253)
        return false;
    size_t label = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (label == 0 || text[i - 1] == '-')
                return false;
            label = 0;
            continue;
        }
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
            return false;
        if (c == '-' && label == 0)
            return false;
        if (++label > 63)
            return false;
    }
    if (text.back() == '-')
        return false;
    // A last label of digits only is no name: "10.0.0.256" is a bad address, not a host.
    size_t last = text.find_last_of('.', text.size() - 2);
    last = last == std::string::npos ? 0 : last + 1;
    for (size_t i = last; i < text.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i])) && text[i] != '.')
            return true;
    return false;
}

// The host and the user go onto the client's command line, which is cut at blanks: anything but
// a plain address or name could add options of the client (a proxy command, another password).
bool is_valid_host(const std::string& host) {
    return is_ipv4(host) || is_bracketed_ipv6(host) || is_host_name(host);
}

bool is_valid_user(const std::string& user) {
    if (user.empty() || user[0] == '-')
        return false;
    for (char c : user)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return false;
    return true;
}

// The first line of a stream, without its line end; false when there is none.
bool read_first_line(std::istream& in, std::string& line) {
    if (!std::getline(in, line))
        return false;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return true;
}

// A password file is only taken when nobody else may read it: a password given there is meant
// to stay out of sight of other local users.
bool read_password_file(const char* path, std::string& password) {
#ifndef _WIN32
    struct stat st;
    if (stat(path, &st) != 0) {
        zeb_trace(TRACE_ERROR, "can't read password file '%s'\n", path);
        return false;
    }
    if ((st.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0) {
        zeb_trace(TRACE_ERROR, "password file '%s' is open to other users (chmod 600)\n", path);
        return false;
    }
#endif
    std::ifstream in(path, std::ios::binary);
    if (!in || !read_first_line(in, password)) {
        zeb_trace(TRACE_ERROR, "can't read password file '%s'\n", path);
        return false;
    }
    return true;
}

} // namespace

namespace {
// Each parallel VM holds a login on the host; hosts limit their sessions.
const int kMaxParallel = 32;
} // namespace

void usage() {
    std::printf("Lullhost. ver.%d.%d.%d.%d\n\n", kVersion[0], kVersion[1], kVersion[2],
                kVersion[3]);
    std::puts("Usage:");
    std::puts("\tLullhost OPTIONS -mode account_check");
    std::puts("\tLullhost OPTIONS -mode suspend_vms ListFile=<filename>");
    std::puts("\tLullhost OPTIONS -mode reboot_vms ListFile=<filename>");
    std::puts("\tLullhost OPTIONS -mode check_maintenance_mode");
    std::puts("\nRequired Parameters:");
    std::puts(
        "\t-mode {account_check|suspend_vms|reboot_vms|check_maintenance_mode}\t Remote action");
    std::puts("\t\tsuspend_vms         Suspend all active VMs and save a table of all VMs");
    std::puts("\t\tand mark suspended machines inside this table.");
    std::puts("\t\taccount_check        Account_check");
    std::puts("\t\treboot_ vms            Read the mentioned table and start all marked machines.");
    std::puts("\t\tcheck_maintenance_mode Check if VMWare host is in maintenance mode");
    std::puts("\t-host ip\t\t\t (ESXi) host Ip address");
    std::puts("\t-usr username\t\t\t SSH user login");
    std::puts("\t-pwd password\t\t\t SSH user password (visible to other local users)");
    std::puts("\t-pwd -\t\t\t\t read the password from the first line of standard input");
    std::puts(
        "\t-pwdfile path\t\t\t read it from the first line of a file only its owner may read");
    std::puts("\nOptional Parameters:");
    std::puts("\t[-h, help]\t\t\t display this help message");
    std::puts("\t[-D debug|info|verbose|quiet]\t\t print debug information, default quiet");
    std::puts("\t[-timeoutminutes]\t\t VM suspend/reboot timeout(min), default 5 min");
    std::puts("\t[-fast]\t\t\t\t take each answer as soon as the host's prompt ends it");
    std::puts("\t\t\t\t\t (polls every 20 ms instead of waiting a second)");
    std::puts("\t[-parallel N]\t\t\t suspend or power on up to N VMs at once (1 to 32),");
    std::puts("\t\t\t\t\t each over a login of its own; default 1");
    std::puts("");
}

int parse_args(int argc, char** argv, ToolOptions& options) {
    if (argc <= 1) {
        usage();
        return SSH_INVALID_PARAM_ERR;
    }

    StringParameter* const strings[] = {&options.host, &options.user, &options.password};

    int i = 1;
    while (i < argc) {
        const char* arg = argv[i];
        if (is_prefix(arg[0]))
            ++arg;

        // "-pwd -": the password comes from standard input, out of sight of the process list.
        if (options.password.name == arg && i + 1 < argc && std::strcmp(argv[i + 1], "-") == 0) {
            std::string line;
            if (!read_first_line(std::cin, line) || line.empty()) {
                zeb_trace(TRACE_ERROR, "Invalid or missed %s value\n",
                          options.password.name.c_str());
                return SSH_INVALID_PARAM_ERR;
            }
            options.password.value = line;
            i += 2;
            continue;
        }
        if (std::strcmp(arg, "pwdfile") == 0) {
            // A path may well start with "/"; only a missing value or another option is refused.
            const char* path = i + 1 < argc && argv[i + 1][0] != '-' ? argv[i + 1] : nullptr;
            std::string line;
            if (!path) {
                zeb_trace(TRACE_ERROR, "Invalid or missed %s value\n", "pwdfile");
                return SSH_INVALID_PARAM_ERR;
            }
            if (!read_password_file(path, line))
                return SSH_INVALID_PARAM_ERR;
            options.password.value = line;
            i += 2;
            continue;
        }

        bool matched = false;
        for (StringParameter* param : strings) {
            if (param->name == arg) {
                const char* value = option_value(argc, argv, i);
                if (!value) {
                    zeb_trace(TRACE_ERROR, "Invalid or missed %s value\n", param->name.c_str());
                    return SSH_INVALID_PARAM_ERR;
                }
                param->value = value;
                i += 2;
                matched = true;
                break;
            }
        }
        if (matched)
            continue;

        if (options.mode.name == arg) {
            const char* value = option_value(argc, argv, i);
            if (!value) {
                zeb_trace(TRACE_ERROR, "Invalid or missed mode\n");
                return SSH_INVALID_PARAM_ERR;
            }
            int mode = mode_from_word(value);
            if (mode == SRV_OP_UNDEF) {
                ZebTrace(TRACE_ERROR, "parse_args", "Invalid mode\n");
                return SSH_INVALID_PARAM_ERR;
            }
            options.mode.value = mode;
            i += 2;
        } else if (std::strstr(arg, options.listfile.name.c_str())) {
            const char* equals = std::strchr(arg, '=');
            if (equals && equals[1] != '\0') {
                options.listfile.value = equals + 1;
            } else {
                // "-ListFile PATH" would otherwise use the default file without a word.
                std::fprintf(stderr, "Invalid argument '%s' (no path after '='), ignore it\n", arg);
                std::fflush(stderr);
            }
            ++i;
        } else if (options.tracemode.name == arg) {
            const char* word = i + 1 < argc ? argv[i + 1] : nullptr;
            if (!word || word[0] == '\0' || is_prefix(word[0])) {
                ++i; // a bare "D" is dropped; the next argument is parsed on its own
                continue;
            }
            int mode = trace_mode_from_word(word);
            if (mode < 0)
                zeb_trace(TRACE_ALWAYS, "Invalid trace mode argument '%s' - ignoring\n", word);
            else
                options.tracemode.value = mode;
            i += 2;
        } else if (options.timeout.name == arg) {
            const char* value = option_value(argc, argv, i);
            if (!value) {
                zeb_trace(TRACE_ERROR, "Invalid or missed new timeout value\n");
                return SSH_INVALID_PARAM_ERR;
            }
            options.timeout.value = minutes_to_seconds(value);
            if (options.timeout.value <= 0) {
                zeb_trace(TRACE_ERROR, "Invalid or missed new timeout value\n");
                return SSH_INVALID_PARAM_ERR;
            }
            i += 2;
        } else if (options.parallel.name == arg) {
            const char* value = option_value(argc, argv, i);
            char* end = nullptr;
            const long n = value ? std::strtol(value, &end, 10) : 0;
            if (!value || *end != '\0' || !std::isdigit(static_cast<unsigned char>(value[0])) ||
                n < 1 || n > kMaxParallel) {
                zeb_trace(TRACE_ERROR, "Invalid or missed %s value (1 to %d)\n",
                          options.parallel.name.c_str(), kMaxParallel);
                return SSH_INVALID_PARAM_ERR;
            }
            options.parallel.value = static_cast<int>(n);
            i += 2;
        } else if (std::strcmp(arg, "fast") == 0) {
            options.fast = true;
            ++i;
        } else if (std::strcmp(arg, "help") == 0 || std::strcmp(arg, "h") == 0) {
            usage();
            std::exit(SSH_SUCCESS);
        } else {
            // Shown whatever the trace mode: a misspelt option (say "listfile=") would otherwise
            // make the run use another file than meant without a word.
            std::fprintf(stderr, "Invalid argument '%s', ignore it\n", arg);
            std::fflush(stderr);
            ++i;
        }
    }

    if (options.host.IsEmpty() || options.user.IsEmpty() || options.password.IsEmpty() ||
        options.mode.value == SRV_OP_UNDEF) {
        zeb_trace(TRACE_ERROR, "Argument missed\n");
        return SSH_INVALID_PARAM_ERR;
    }
    if (!is_valid_host(options.host.value)) {
        zeb_trace(TRACE_ERROR, "Invalid host '%s': not a host name, IPv4 or [IPv6] address\n",
                  options.host.value.c_str());
        return SSH_INVALID_PARAM_ERR;
    }
    if (!is_valid_user(options.user.value)) {
        zeb_trace(TRACE_ERROR, "Invalid user name '%s'\n", options.user.value.c_str());
        return SSH_INVALID_PARAM_ERR;
    }
    return SSH_SUCCESS;
}
