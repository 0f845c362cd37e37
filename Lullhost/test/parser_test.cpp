// Command texts and answer parsing, driven by tables of host answers.
#include "ESXiCliParser.h"
#include "SshServer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

using SshSrv::ESXiCliParser;
using SshSrv::ESXiCommand;

namespace {

// Records what the parser hands back to the object that sent the command.
class RecordingOwner : public SshSrv::SshServer {
public:
    SshCodes AddChild(Env::String& id, Env::String& name) override {
        children.emplace_back(id, name);
        return SSH_SUCCESS;
    }
    std::vector<std::pair<std::string, std::string>> children;
};

// Splits like the base parser and keeps every line it is handed.
class LineRecorder : public SshSrv::CliParser {
public:
    SshCodes ParseLine(const char* line) override {
        lines.emplace_back(line);
        return lines.size() == stopAt ? SSH_CLI_CMD_FAILED_ERR : SSH_SUCCESS;
    }
    bool HasError(const char*) const override { return false; }
    std::vector<std::string> lines;
    std::size_t stopAt = 0;
};

const char* const CLASSIC = "~ # ";
const char* const CURRENT = "[root@esx01:~] ";

} // namespace

TEST(EsxiCommandTest, TextsEndWithALineEnd) {
    const Env::String id("42");
    EXPECT_EQ("vim-cmd\n", GET_ESXI_COMMAND(ESX_CMD_SHOW_COMMANDS));
    EXPECT_EQ("vim-cmd vmsvc/getallvms\n", GET_ESXI_COMMAND(ESX_CMD_GET_ALLVMS));
    EXPECT_EQ("vim-cmd vmsvc/power.getstate 42\n", GET_ESXI_COMMAND(ESX_CMD_GET_VMSTATUS, id));
    EXPECT_EQ("vim-cmd vmsvc/power.suspend 42\n", GET_ESXI_COMMAND(ESX_CMD_SUSPEND_VM, id));
    EXPECT_EQ("vim-cmd vmsvc/power.on 42\n", GET_ESXI_COMMAND(ESX_CMD_POWERON_VM, id));
    EXPECT_EQ("vim-cmd vmsvc/power.off 42\n", GET_ESXI_COMMAND(ESX_CMD_POWEROFF_VM, id));
    EXPECT_EQ("vim-cmd hostsvc/hostsummary | grep inMaintenanceMode\n",
              GET_ESXI_COMMAND(ESX_CMD_GET_MAINTENANCE));
    EXPECT_EQ("vim-cmd hostsvc/maintenance_mode_enter\n",
              GET_ESXI_COMMAND(ESX_CMD_ENTER_MAINTENANCE));
    EXPECT_EQ("vim-cmd hostsvc/maintenance_mode_exit\n",
              GET_ESXI_COMMAND(ESX_CMD_EXIT_MAINTENANCE));
}

TEST(EsxiCommandTest, LongIdentifierIsCutAt127Characters) {
    const Env::String id(std::string(200, '7'));
    const Env::String text = GET_ESXI_COMMAND(ESX_CMD_SUSPEND_VM, id);
    ASSERT_EQ(127u, text.size());
    EXPECT_EQ(0u, text.find("vim-cmd vmsvc/power.suspend 777"));
    EXPECT_EQ('7', text.back()); // the line end went with the cut

    // One character shorter: exactly fits, line end included.
    const std::string prefix = "vim-cmd vmsvc/power.on ";
    const Env::String fits(std::string(127 - prefix.size() - 1, '1'));
    EXPECT_EQ('\n', GET_ESXI_COMMAND(ESX_CMD_POWERON_VM, fits).back());
}

struct ParseCase {
    std::string what;
    int command;
    std::string response;
    SshCodes expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.what;
}

class ParseResultTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseResultTest, Result) {
    const ParseCase& c = GetParam();
    ESXiCliParser parser;
    RecordingOwner owner;
    EXPECT_EQ(c.expected, parser.Parse(c.response.c_str(), c.command, &owner)) << c.what;
}

const std::string PROMPTS[] = {CLASSIC, CURRENT};

std::vector<ParseCase> ResultCases() {
    std::vector<ParseCase> cases = {
        {"command list", ESXiCommand::ESX_CMD_SHOW_COMMANDS,
         "Commands available under /:\r\nhbrsvc/  vmsvc/\r\n~ # ", SSH_SUCCESS},
        {"shell without vim-cmd", ESXiCommand::ESX_CMD_SHOW_COMMANDS,
         "-sh: vim-cmd: not found\r\n~ # ", SSH_CLI_CMD_FAILED_ERR},
        {"other answer to the command list", ESXiCommand::ESX_CMD_SHOW_COMMANDS,
         "Usage: vim-cmd\r\n~ # ", SSH_CLI_CMD_FAILED_ERR},
        {"suspend, progress and prompt", ESXiCommand::ESX_CMD_SUSPEND_VM, "Suspending VM:\r\n~ # ",
         SSH_SUCCESS},
        {"suspend, progress only", ESXiCommand::ESX_CMD_SUSPEND_VM,
         "Suspending VM:", SSH_PARSER_IN_PROGRESS},
        {"suspend, prompt only", ESXiCommand::ESX_CMD_SUSPEND_VM, "~ # ", SSH_SUCCESS},
        {"suspend, neither", ESXiCommand::ESX_CMD_SUSPEND_VM, "", SSH_CLI_CMD_FAILED_ERR},
        {"suspend, current prompt", ESXiCommand::ESX_CMD_SUSPEND_VM,
         "Suspending VM:\r\n[root@esx01:~] ", SSH_SUCCESS},
        {"suspend, another progress text", ESXiCommand::ESX_CMD_SUSPEND_VM,
         "Powering on VM:", SSH_CLI_CMD_FAILED_ERR},
        {"power on, progress only", ESXiCommand::ESX_CMD_POWERON_VM,
         "Powering on VM:", SSH_PARSER_IN_PROGRESS},
        {"power on, current prompt", ESXiCommand::ESX_CMD_POWERON_VM,
         "Powering on VM:\r\n[admin@host-2.lab:~] ", SSH_SUCCESS},
        {"power on, suspend text", ESXiCommand::ESX_CMD_POWERON_VM,
         "Suspending VM:", SSH_CLI_CMD_FAILED_ERR},
        {"power off, progress only", ESXiCommand::ESX_CMD_POWEROFF_VM,
         "Powering off VM:", SSH_PARSER_IN_PROGRESS},
        {"power off, classic prompt", ESXiCommand::ESX_CMD_POWEROFF_VM, "Powering off VM:\r\n~ # ",
         SSH_SUCCESS},
        {"maintenance on", ESXiCommand::ESX_CMD_GET_MAINTENANCE,
         "      inMaintenanceMode = true,\r\n~ # ", SSH_SUCCESS},
        {"maintenance off", ESXiCommand::ESX_CMD_GET_MAINTENANCE,
         "      inMaintenanceMode = false,\r\n~ # ", SSH_VERIFY_ERR},
        {"maintenance, empty answer", ESXiCommand::ESX_CMD_GET_MAINTENANCE, "",
         SSH_CLI_CMD_FAILED_ERR},
        {"maintenance, no flag", ESXiCommand::ESX_CMD_GET_MAINTENANCE, "true\r\n~ # ",
         SSH_CLI_CMD_FAILED_ERR},
        {"maintenance, flag without value", ESXiCommand::ESX_CMD_GET_MAINTENANCE,
         "inMaintenanceMode = <unset>,\r\n~ # ", SSH_CLI_CMD_FAILED_ERR},
        {"maintenance off, host named like a flag", ESXiCommand::ESX_CMD_GET_MAINTENANCE,
         "      inMaintenanceMode = false,\r\n[root@truenas:~] ", SSH_VERIFY_ERR},
        {"maintenance on, host named like a flag", ESXiCommand::ESX_CMD_GET_MAINTENANCE,
         "      inMaintenanceMode = true,\r\n[root@falsehood:~] ", SSH_SUCCESS},
        {"listing", ESXiCommand::ESX_CMD_GET_ALLVMS, "Vmid Name File\r\n1 a [ds] a/a.vmx\r\n~ # ",
         SSH_SUCCESS},
        {"state", ESXiCommand::ESX_CMD_GET_VMSTATUS, "Retrieved runtime info\r\nPowered on\r\n",
         SSH_SUCCESS},
    };
    // Every command fails on an error text, wherever it stands.
    const char* errors[] = {"Unable to find a VM corresponding to \"9\": VM not found",
                            "Invalid command 'vmsvc/power.on'", "sh: syntax error: bad pipe"};
    for (const char* error : errors) {
        for (int command = ESXiCommand::ESX_CMD_SHOW_COMMANDS;
             command <= ESXiCommand::ESX_CMD_GET_MAINTENANCE; ++command) {
            cases.push_back({"error text " + std::string(error).substr(0, 6) +
                                 " in answer to command " + std::to_string(command),
                             command,
                             std::string("Commands available\r\nSuspending VM:\r\n"
                                         "inMaintenanceMode = true,\r\n") +
                                 error + "\r\n~ # ",
                             SSH_CLI_CMD_FAILED_ERR});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Answers, ParseResultTest, testing::ValuesIn(ResultCases()));

TEST(EsxiListingTest, VmLinesBecomeChildrenInEitherPromptStyle) {
    for (const std::string& prompt : PROMPTS) {
        ESXiCliParser parser;
        RecordingOwner owner;
        const std::string answer =
            "Vmid   Name         File                              Guest OS          Version\r\n"
            "1      web01        [datastore1] web01/web01.vmx      debian11_64Guest  vmx-19\r\n"
            "12     web server   [datastore1] web server/ws.vmx    otherGuest        vmx-14\r\n"
            "7\r\n" +
            prompt;
        ASSERT_EQ(SSH_SUCCESS,
                  parser.Parse(answer.c_str(), ESXiCommand::ESX_CMD_GET_ALLVMS, &owner));
        const std::vector<std::pair<std::string, std::string>> expected = {
            {"1", "web01"}, {"12", "web"}, {"7", ""}};
        EXPECT_EQ(expected, owner.children) << "prompt " << prompt;
    }
}

TEST(EsxiListingTest, HeaderOnlyOrErrorWordsAddNothing) {
    ESXiCliParser parser;
    RecordingOwner owner;
    EXPECT_EQ(SSH_SUCCESS,
              parser.Parse("Vmid   Name   File   Guest OS   Version   Annotation\r\n[root@h:~] ",
                           ESXiCommand::ESX_CMD_GET_ALLVMS, &owner));
    EXPECT_EQ(SSH_CLI_CMD_FAILED_ERR,
              parser.Parse("Vmid Name File\r\n3 not found [ds] x.vmx\r\n~ # ",
                           ESXiCommand::ESX_CMD_GET_ALLVMS, &owner));
    EXPECT_TRUE(owner.children.empty());
}

// VM ids go into command lines that the host's shell runs: only plain numbers are ids. Other
// lines of a listing (an annotation over several lines) add no VM.
TEST(EsxiListingTest, OnlyNumericIdsMakeVms) {
    ESXiCliParser parser;
    RecordingOwner owner;
    EXPECT_EQ(SSH_SUCCESS, parser.Parse("Vmid Name File\r\n"
                                        "1;id>~/x evil [ds] e.vmx\r\n"
                                        "second line of an annotation\r\n"
                                        "99999999999 big [ds] b.vmx\r\n"
                                        "42 good [ds] g.vmx\r\n~ # ",
                                        ESXiCommand::ESX_CMD_GET_ALLVMS, &owner));
    const std::vector<std::pair<std::string, std::string>> expected = {{"42", "good"}};
    EXPECT_EQ(expected, owner.children);

    const struct {
        const char* id;
        bool valid;
    } ids[] = {{"0", true},   {"2147483647", true}, {"2147483648", false},
               {"", false},   {"12a", false},       {"-1", false},
               {" 1", false}, {"1;id", false},      {"1 && id", false}};
    for (const auto& row : ids)
        EXPECT_EQ(row.valid, SshSrv::is_vm_id(row.id)) << row.id;
}

TEST(EsxiStateTest, StateLineBecomesStatus) {
    struct Case {
        std::string answer;
        std::string status;
    } cases[] = {
        {"Retrieved runtime info\r\nPowered off\r\n~ # ", "Powered off"},
        {"Retrieved runtime info\nSuspended\n[root@esx01:~] ", "Suspended"},
        {"Retrieved runtime info\r\nPowered on\r\nPowered off", "Powered off"}, // last wins
        {"Retrieved runtime info\r\n~ # ", "unchanged"},
        {"Powered on\rX\r\n", "Powered on\rX"}, // a lone CR stays in its line
    };
    for (const Case& c : cases) {
        ESXiCliParser parser;
        RecordingOwner owner;
        owner.SetStatus("unchanged");
        EXPECT_EQ(SSH_SUCCESS,
                  parser.Parse(c.answer.c_str(), ESXiCommand::ESX_CMD_GET_VMSTATUS, &owner));
        EXPECT_EQ(c.status, owner.GetStatus()) << c.answer;
    }
}

TEST(CliParserTest, SplitsOnLineEndsAndStopsAtTheFirstFailure) {
    LineRecorder parser;
    EXPECT_EQ(SSH_SUCCESS, parser.ParseLines("a\r\nb\n\n\r\nc\rd\ne"));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c\rd", "e"}), parser.lines);

    LineRecorder stopping;
    stopping.stopAt = 2;
    EXPECT_EQ(SSH_CLI_CMD_FAILED_ERR, stopping.ParseLines("one\ntwo\nthree\n"));
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), stopping.lines);

    LineRecorder empty;
    EXPECT_EQ(SSH_SUCCESS, empty.ParseLines("\r\n\n"));
    EXPECT_TRUE(empty.lines.empty());
}

TEST(CliParserTest, UnknownCommandLinesAreAnInternalError) {
    ESXiCliParser parser;
    RecordingOwner owner;
    EXPECT_EQ(SSH_INTERNAL_ERR,
              parser.Parse("done\r\n~ # ", ESXiCommand::ESX_CMD_ENTER_MAINTENANCE, &owner));
    // A prompt-only answer has no line to parse.
    EXPECT_EQ(SSH_SUCCESS,
              parser.Parse("[root@esx01:~] ", ESXiCommand::ESX_CMD_EXIT_MAINTENANCE, &owner));
}

TEST(CliParserTest, TokensSkipLeadingSeparatorsAndContinueAfterTheEndingOne) {
    LineRecorder parser;
    const char* line = " \t12\tweb server\r";
    int pos = 0;
    EXPECT_EQ("12", parser.GetToken(line, pos));
    EXPECT_EQ(5, pos);
    EXPECT_EQ("web", parser.GetToken(line, pos));
    EXPECT_EQ("server", parser.GetToken(line, pos));
    EXPECT_EQ("", parser.GetToken(line, pos));
    EXPECT_EQ(static_cast<int>(std::string(line).size()), pos);
}

TEST(EsxiParserTest, NoOwnerMeansNoResults) {
    ESXiCliParser parser;
    EXPECT_EQ(SSH_SUCCESS, parser.Parse("Vmid Name File\r\n1 a\r\n~ # ",
                                        ESXiCommand::ESX_CMD_GET_ALLVMS, nullptr));
    EXPECT_EQ(SSH_SUCCESS,
              parser.Parse("Powered on\r\n", ESXiCommand::ESX_CMD_GET_VMSTATUS, nullptr));
}
