#include "fleet.h"
#include "test_support.h"

#include <functional>

using Env::String;
using Fleet::Guest;
using Fleet::Host;

namespace {

class XmlObjectFile : public envtest::ScratchDir {};

const char* const kDecl = "<?xml version=\"1.0\"?>\n";

// Two guests, one of them marked, names with markup; a password that must never be written.
void Populate(Host& host) {
    host.SetAddress("esx1");
    host.SetPassword("secret");
    host.SetReboot(true);
    Guest* web = new Guest("1", "web & db");
    web->SetStatus("Powered on");
    Guest* odd = new Guest("12", "say \"hi\" <now>");
    odd->SetStatus("Suspended");
    odd->SetRebootStatus("to reboot");
    odd->SetTimeout(0);
    host.GetGuests().push_back(web);
    host.GetGuests().push_back(odd);
}

TEST_F(XmlObjectFile, SavesExactBytes) {
    const struct {
        const char* what;
        std::function<bool(const std::string&)> save;
        std::string expected;
    } rows[] = {
        {"host without guests",
         [](const std::string& path) {
             Host host;
             host.SetAddress("esx1");
             host.SetMaintenanceMode(true);
             return host.Save(path);
         },
         "<host address=\"esx1\" maintenancemode=\"true\" "
         "reboot=\"false\"><guests></guests></host>\n"},
        {"host with guests",
         [](const std::string& path) {
             Host host;
             Populate(host);
             return host.Save(path);
         },
         "<host address=\"esx1\" maintenancemode=\"false\" reboot=\"true\"><guests>"
         "<guest id=\"1\" name=\"web &amp; db\" status=\"Powered on\" timeout=\"300\"></guest>"
         "<guest id=\"12\" name=\"say &quot;hi&quot; &lt;now&gt;\" rebootstatus=\"to reboot\" "
         "status=\"Suspended\" timeout=\"0\"></guest></guests></host>\n"},
        {"object child under its class tag",
         [](const std::string& path) {
             Fleet::Rack rack;
             rack.GetSpare().SetId("s1");
             return rack.Save(path);
         },
         "<rack><guest id=\"s1\" name=\"Spare\" timeout=\"300\"></guest></rack>\n"},
        {"root value as text",
         [](const std::string& path) {
             Fleet::Machine machine;
             machine.SetName("m");
             machine.SetValue("v & <w>");
             return machine.Save(path);
         },
         "<machine name=\"m\">v &amp; &lt;w&gt;</machine>\n"},
        {"nothing to write", [](const std::string& path) { return Fleet::Machine().Save(path); },
         "<machine/>\n"},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(row.save(Path("out.xml"))) << row.what;
        EXPECT_EQ(Read("out.xml"), kDecl + row.expected) << row.what;
    }
}

TEST_F(XmlObjectFile, RoundTripRestoresEverythingWritten) {
    Host original;
    Populate(original);
    original.SetValue("root & text");
    ASSERT_TRUE(original.Save(Path("a.xml")));

    Host copy;
    ASSERT_TRUE(copy.Load(Path("a.xml")));
    EXPECT_EQ(copy.GetAddress(), "esx1");
    EXPECT_TRUE(copy.GetReboot());
    EXPECT_FALSE(copy.GetMaintenanceMode());
    EXPECT_EQ(copy.GetPassword(), "");
    EXPECT_EQ(copy.GetValue(), "root & text");
    ASSERT_EQ(copy.GetGuests().size(), 2u);
    auto it = copy.GetGuests().begin();
    const Guest* second = dynamic_cast<const Guest*>(*std::next(it));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetName(), "say \"hi\" <now>");
    EXPECT_EQ(second->GetRebootStatus(), "to reboot");
    EXPECT_EQ(second->GetTimeout(), 0);

    ASSERT_TRUE(copy.Save(Path("b.xml")));
    EXPECT_EQ(Read("b.xml"), Read("a.xml"));
}

TEST_F(XmlObjectFile, ReadsAnyCaseIgnoresUnknownsKeepsMissing) {
    Write("in.xml", "<?xml version=\"1.0\"?>\n"
                    "<Anything ADDRESS=\"esx9\" MaintenanceMode=\"TRUE\" Reboot=\"yes\" "
                    "Password=\"leak\" unknown=\"x\">\n"
                    "  <extra a=\"1\"><guest id=\"0\"/></extra>\n"
                    "  <GUESTS>\n"
                    "    <Guest ID=\"7\" Name=\"a\" TimeOut=\"15min\"/><!-- note -->\n"
                    "    <GUEST id=\"8\" timeout=\"none\"/>\n"
                    "    <guest id=\"9\"/>\n"
                    "  </GUESTS>\n"
                    "</Anything>\n");
    Host host;
    host.SetPassword("from command line");
    host.SetReboot(true);
    ASSERT_TRUE(host.Load(Path("in.xml")));
    EXPECT_EQ(host.GetAddress(), "esx9");
    EXPECT_TRUE(host.GetMaintenanceMode());
    EXPECT_FALSE(host.GetReboot());
    EXPECT_EQ(host.GetPassword(), "from command line") << "not in the table, so not read";
    EXPECT_EQ(host.GetValue(), "\n  ") << "the first text child is the value";

    std::vector<std::pair<String, int>> guests;
    for (const Env::XmlObject* object : host.GetGuests()) {
        const Guest* guest = dynamic_cast<const Guest*>(object);
        ASSERT_NE(guest, nullptr);
        guests.emplace_back(guest->GetId(), guest->GetTimeout());
    }
    EXPECT_EQ(guests, (std::vector<std::pair<String, int>>{{"7", 15}, {"8", 0}, {"9", 300}}));

    Write("partial.xml", "<host reboot=\"TRUE\"/>");
    host.SetAddress("kept");
    ASSERT_TRUE(host.Load(Path("partial.xml")));
    EXPECT_EQ(host.GetAddress(), "kept");
    EXPECT_TRUE(host.GetReboot());
    EXPECT_EQ(host.GetGuests().size(), 3u);
}

TEST_F(XmlObjectFile, ChildFoundByNameAttribute) {
    Write("rack.xml",
          "<rack><guest name=\"other\" id=\"no\"/><guest name=\"SPARE\" id=\"yes\"/></rack>");
    Fleet::Rack rack;
    ASSERT_TRUE(rack.Load(Path("rack.xml")));
    EXPECT_EQ(rack.GetSpare().GetId(), "yes");
}

TEST_F(XmlObjectFile, FailuresReportedWithTheirTrace) {
    Write("bad.xml", "<host><guests>");
    Write("picky.xml", "<host><guests><picky/><picky name=\"bad\"/></guests></host>");
    const struct {
        const char* what;
        std::function<bool()> run;
        const char* trace;
    } rows[] = {
        {"load without name", [] { return Host().Load(""); },
         "Load: xml file name is not defined\n"},
        {"save without name", [] { return Host().Save(""); },
         "Save: xml file name is not defined\n"},
        {"missing file", [this] { return Host().Load(Path("none.xml")); },
         "Load: can't open xml document object\n"},
        {"malformed file", [this] { return Host().Load(Path("bad.xml")); },
         "Load: can't open xml document object\n"},
        {"child fails to read", [this] { return Host().Load(Path("picky.xml")); },
         "Load: from xml function failed\n"},
        {"missing folder", [this] { return Host().Save(Path("none/out.xml")); },
         "Save: can't write xml file\n"},
        {"getter throws", [this] { return Fleet::Thrower().Save(Path("out.xml")); },
         "ToXml: XmlObject::ToXml error catched\n"},
    };
    for (const auto& row : rows) {
        bool result = true;
        std::string out = envtest::CaptureTrace([&] { result = row.run(); });
        EXPECT_FALSE(result) << row.what;
        EXPECT_NE(out.find(row.trace), std::string::npos) << row.what << ": " << out;
    }
    EXPECT_EQ(Entries().size(), 2u) << "nothing written by the failed saves";
}

TEST(XmlObjectStructure, TablesHoldBaseEntriesInByteOrder) {
    auto keys = [](const auto& map) {
        std::vector<String> names;
        for (const auto& entry : map)
            names.push_back(entry.first);
        return names;
    };
    const Env::XmlObject::XmlObjectStructure* host = Host().GetXmlStructure();
    EXPECT_EQ(keys(host->GetAttributes()),
              (std::vector<String>{"address", "maintenancemode", "name", "reboot", "status"}));
    EXPECT_EQ(keys(host->getChildren()), std::vector<String>{"guests"});
    EXPECT_EQ(keys(Guest().GetXmlStructure()->GetAttributes()),
              (std::vector<String>{"id", "name", "rebootstatus", "status", "timeout"}));
    EXPECT_EQ(keys(Env::XmlObject().GetXmlStructure()->GetAttributes()),
              std::vector<String>{"name"});
    EXPECT_NE(host->AttributeByName("MAINTENANCEMODE"), nullptr);
    EXPECT_EQ(host->AttributeByName("password"), nullptr);
    EXPECT_EQ(host->ChildByName("Guests")->Type(), Env::XmlChildInvokerBase::CHILD_STATIC);
    EXPECT_STREQ(Guest().ClassName(), "Guest");
    EXPECT_EQ(Guest().XmlTag(), "guest");

    // A later entry under a name already used replaces it.
    Env::XmlObject::XmlObjectStructure table;
    table.AddChild("NAME", new Env::XmlAttrInvoker<Guest>(&Guest::GetIdStr, &Guest::SetIdStr));
    Guest guest("id-1", "name-1");
    EXPECT_EQ(table.AttributeByName("name")->InvokeGetter(&guest), "id-1");
}

TEST(XmlObjAttr, TextForms) {
    const struct {
        const char* text;
        int number;
        bool flag;
    } rows[] = {
        {"300", 300, false}, {"12abc", 12, false}, {"abc", 0, false}, {"", 0, false},
        {"-7", -7, false},   {" 42", 42, false},   {"true", 0, true}, {"TRUE", 0, true},
        {"tRuE", 0, true},   {"yes", 0, false},    {"1", 1, false},   {"truex", 0, false},
    };
    for (const auto& row : rows) {
        Guest guest;
        Host host;
        guest.SetTimeoutStr(row.text);
        host.SetRebootStr(row.text);
        EXPECT_EQ(guest.GetTimeout(), row.number) << '"' << row.text << '"';
        EXPECT_EQ(host.GetReboot(), row.flag) << '"' << row.text << '"';
    }
    Guest guest;
    guest.SetTimeout(0);
    EXPECT_EQ(guest.GetTimeoutStr(), "0");
    EXPECT_EQ(Host().GetRebootStr(), "false");
    EXPECT_EQ(Guest().GetTimeout(), 300);
}

} // namespace
