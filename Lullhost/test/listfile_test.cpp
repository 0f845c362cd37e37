// The VM list file: what suspend_vms writes and reboot_vms reads back.
#include "SshServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class ListFileTest : public testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/lullhost-listfile-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(dir));
        m_dir = dir;
        m_path = m_dir + "/esxi_vms.xml";
    }
    void TearDown() override {
        std::remove(m_path.c_str());
        std::remove(m_dir.c_str());
    }

    static SshSrv::VirtualMachineServer* Vm(SshSrv::ESXiServer& host, std::size_t index) {
        auto it = host.GetVMs().begin();
        std::advance(it, index);
        return dynamic_cast<SshSrv::VirtualMachineServer*>(*it);
    }

    std::string m_dir;
    std::string m_path;
};

} // namespace

TEST_F(ListFileTest, WritesTheHostAndItsVmsByteForByte) {
    SshSrv::ESXiServer host("10.0.0.5", "root", "s3cret-pwd");
    host.SetTimeout(120);
    Env::String ids[] = {"1", "2", "3"};
    Env::String names[] = {"web01", "db&\"main\"", ""};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(SSH_SUCCESS, host.AddChild(ids[i], names[i]));
    Vm(host, 0)->SetStatus("Suspended");
    Vm(host, 0)->SetRebootStatus("to reboot");
    Vm(host, 1)->SetStatus("Powered off");
    host.SetMaintenanceMode(true);
    host.SetReboot(true);
    ASSERT_TRUE(host.Save(m_path));

    EXPECT_EQ("<?xml version=\"1.0\"?>\n"
              "<esxiserver host=\"10.0.0.5\" maintenancemode=\"true\" reboot=\"true\"><vms>"
              "<virtualmachineserver id=\"1\" name=\"web01\" rebootstatus=\"to reboot\" "
              "status=\"Suspended\" timeout=\"120\"></virtualmachineserver>"
              "<virtualmachineserver id=\"2\" name=\"db&amp;&quot;main&quot;\" "
              "status=\"Powered off\" timeout=\"120\"></virtualmachineserver>"
              "<virtualmachineserver id=\"3\" timeout=\"120\"></virtualmachineserver>"
              "</vms></esxiserver>\n",
              ReadFile(m_path));
}

TEST_F(ListFileTest, EmptyHostWritesAnEmptyListAndReadsBackEmpty) {
    SshSrv::ESXiServer host("h", "u", "p");
    ASSERT_TRUE(host.Save(m_path));
    EXPECT_EQ("<?xml version=\"1.0\"?>\n<esxiserver host=\"h\" maintenancemode=\"false\" "
              "reboot=\"false\"><vms></vms></esxiserver>\n",
              ReadFile(m_path));
    SshSrv::ESXiServer back("h", "u", "p");
    ASSERT_TRUE(back.Load(m_path));
    EXPECT_TRUE(back.GetVMs().empty());
}

TEST_F(ListFileTest, ReadsAnyLetterCaseAndKeepsWhatTheFileLacks) {
    WriteFile(m_path, "<?xml version=\"1.0\"?>\n"
                      "<ESXiServer MaintenanceMode=\"FALSE\" REBOOT=\"TRUE\" extra=\"x\"><VMs>"
                      "<VirtualMachineServer ID=\"4\" Name=\"db&amp;&quot;main&quot;\" "
                      "RebootStatus=\"to reboot\" Status=\"Suspended\"/>"
                      "<virtualmachineserver id=\"5\" timeout=\"abc\"/>"
                      "</VMs><unknown/></ESXiServer>\n");
    SshSrv::ESXiServer host("from-command-line", "u", "p");
    ASSERT_TRUE(host.Load(m_path));
    EXPECT_EQ("from-command-line", host.GetHost());
    EXPECT_TRUE(host.GetReboot());
    EXPECT_FALSE(host.GetMaintenanceMode());
    ASSERT_EQ(2u, host.GetVMs().size());
    EXPECT_EQ("4", Vm(host, 0)->GetId());
    EXPECT_EQ("db&\"main\"", Vm(host, 0)->GetName());
    EXPECT_EQ("to reboot", Vm(host, 0)->GetRebootStatus());
    EXPECT_EQ("Suspended", Vm(host, 0)->GetStatus());
    EXPECT_EQ(300, Vm(host, 0)->GetTimeout());
    EXPECT_EQ(300, Vm(host, 1)->GetTimeout()); // no digits: no usable timeout

    // Writing what was read gives the same attributes again, password never.
    ASSERT_TRUE(host.Save(m_path));
    const std::string again = ReadFile(m_path);
    EXPECT_NE(std::string::npos, again.find("<esxiserver host=\"from-command-line\" "
                                            "maintenancemode=\"false\" reboot=\"true\"><vms>"));
    EXPECT_EQ(std::string::npos, again.find("\"p\""));
    EXPECT_NE(std::string::npos, again.find("<virtualmachineserver id=\"4\" "
                                            "name=\"db&amp;&quot;main&quot;\" "
                                            "rebootstatus=\"to reboot\" status=\"Suspended\" "
                                            "timeout=\"300\"></virtualmachineserver>"));
}

// A timeout that would abandon a VM command at once, or that does not fit, is damaged: the
// default serves instead.
TEST_F(ListFileTest, UnusableTimeoutsTakeTheDefault) {
    const struct {
        const char* text;
        int seconds;
    } rows[] = {{"45", 45},   {"0", 300},           {"-5", 300},
                {"abc", 300}, {"99999999999", 300}, {"-99999999999", 300}};
    for (const auto& row : rows) {
        WriteFile(m_path, std::string("<?xml version=\"1.0\"?>\n<esxiserver><vms>"
                                      "<virtualmachineserver id=\"1\" timeout=\"") +
                              row.text + "\"/></vms></esxiserver>\n");
        SshSrv::ESXiServer host("h", "u", "p");
        ASSERT_TRUE(host.Load(m_path)) << row.text;
        ASSERT_EQ(1u, host.GetVMs().size());
        EXPECT_EQ(row.seconds, Vm(host, 0)->GetTimeout()) << row.text;
    }
}

// Another XML file is no list file: reading it fails instead of giving an empty host.
TEST_F(ListFileTest, OtherRootElementIsRefused) {
    WriteFile(m_path, "<?xml version=\"1.0\"?>\n<config host=\"x\"><vms/></config>\n");
    SshSrv::ESXiServer host("h", "u", "p");
    EXPECT_FALSE(host.Load(m_path));
}

// The marks of an earlier run stay where the VM is still suspended, and "reboot" while the host
// is still in maintenance mode.
TEST_F(ListFileTest, CarryOverMarksOfVmsStillSuspended) {
    WriteFile(m_path, "<?xml version=\"1.0\"?>\n<esxiserver maintenancemode=\"true\" "
                      "reboot=\"true\"><vms>"
                      "<virtualmachineserver id=\"1\" rebootstatus=\"to reboot\"/>"
                      "<virtualmachineserver id=\"2\" rebootstatus=\"to reboot\"/>"
                      "<virtualmachineserver id=\"3\"/>"
                      "<virtualmachineserver id=\"4\" rebootstatus=\"to reboot\"/>"
                      "<virtualmachineserver id=\"5\" rebootstatus=\"to reboot\"/>"
                      "</vms></esxiserver>\n");
    SshSrv::ESXiServer earlier;
    ASSERT_TRUE(earlier.Load(m_path));

    for (bool inMaintenance : {true, false}) {
        SshSrv::ESXiServer now("h", "u", "p");
        now.SetMaintenanceMode(inMaintenance);
        // VM 4's state was not read (an interrupted run); VM 5 is gone from the host.
        const char* vms[][2] = {
            {"1", "Suspended"}, {"2", "Powered on"}, {"3", "Suspended"}, {"4", ""}};
        for (auto& vm : vms) {
            Env::String id = vm[0], name = "vm";
            now.AddChild(id, name);
            Vm(now, now.GetVMs().size() - 1)->SetStatus(vm[1]);
        }
        now.CarryOverMarks(earlier);
        EXPECT_EQ("to reboot", Vm(now, 0)->GetRebootStatus());
        EXPECT_EQ("", Vm(now, 1)->GetRebootStatus()); // running again: nothing to resume
        EXPECT_EQ("", Vm(now, 2)->GetRebootStatus()); // never marked
        EXPECT_EQ("to reboot", Vm(now, 3)->GetRebootStatus());
        EXPECT_EQ(4u, now.GetVMs().size());
        EXPECT_EQ(inMaintenance, now.GetReboot());
    }
}
