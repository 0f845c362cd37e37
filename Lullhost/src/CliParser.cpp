#include "CliParser.h"

#include "zeb-tools-trace.h"

#include <cstring>
#include <string>

namespace SshSrv {

SshCodes CliParser::Parse(const char* response, int command, SshServer* owner) {
    m_iCommand = command;
    m_pOwner = owner;
    if (HasError(response))
        m_iCommand = SshCommand::SSH_CMD_ERROR;
    return SSH_SUCCESS;
}

SshCodes CliParser::ParseLines(const char* response) {
    try {
        if (response == nullptr)
            return SSH_SUCCESS;
        const std::string text(response);
        SshCodes result = SSH_SUCCESS;
        std::string line;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            if (c != '\n') {
                line += c;
                continue;
            }
            if (!line.empty()) {
                result = ParseLine(line.c_str());
                if (result != SSH_SUCCESS)
                    return result;
                line.clear();
            }
        }
        if (!line.empty())
            result = ParseLine(line.c_str());
        return result;
    } catch (...) {
        ZebTrace(TRACE_ERROR, ZEB_TRACE_TAG("SshSrv::CliParser", "ParseLines"),
                 "CliParser::ParseLines error catched\n");
        return SSH_INTERNAL_ERR;
    }
}

static bool is_separator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

Env::String CliParser::GetToken(const char* line, int& pos) const {
    std::string token;
    if (line == nullptr || pos < 0)
        return Env::String();
    const int len = static_cast<int>(std::strlen(line));
    while (pos < len) {
        const char c = line[pos++];
        if (is_separator(c)) {
            if (token.empty())
                continue;
            break;
        }
        token += c;
    }
    return Env::String(token.c_str());
}

} // namespace SshSrv
