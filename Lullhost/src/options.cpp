#include "ToolOptions.h"

#include "zeb-tools-trace.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// Minutes as the C library reads them (leading digits, none give 0), in
// seconds; clamped instead of overflowing on absurdly large numbers.
int minutes_to_seconds(const char* text) {
    long long minutes = std::strtoll(text, nullptr, 10);
    if (minutes > INT_MAX / 60)
        return INT_MAX / 60 * 60;
    if (minutes < INT_MIN / 60)
        return INT_MIN / 60 * 60;
    return static_cast<int>(minutes) * 60;
}

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
    std::puts("\t-pwd password\t\t\t SSH user password");
    std::puts("\nOptional Parameters:");
    std::puts("\t[-h, help]\t\t\t display this help message");
    std::puts("\t[-D debug|info|verbose|quiet]\t\t print debug information, default quiet");
    std::puts("\t[-timeoutminutes]\t\t VM suspend/reboot timeout(min), default 5 min");
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
            if (equals && equals[1] != '\0')
                options.listfile.value = equals + 1;
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
            i += 2;
        } else if (std::strcmp(arg, "help") == 0 || std::strcmp(arg, "h") == 0) {
            usage();
            std::exit(SSH_SUCCESS);
        } else {
            zeb_trace(TRACE_WARNING, "Invalid argument '%s', ignore it\n", arg);
            ++i;
        }
    }

    if (!options.host.IsEmpty() && !options.user.IsEmpty() && !options.password.IsEmpty() &&
        options.mode.value != SRV_OP_UNDEF)
        return SSH_SUCCESS;
    zeb_trace(TRACE_ERROR, "Argument missed\n");
    return SSH_INVALID_PARAM_ERR;
}
