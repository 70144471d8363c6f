// dsmtool's storage server and enclosure commands against the bundled
// service.
#include "ToolFixture.h"

#include <gtest/gtest.h>

using namespace dsmtest;
using nlohmann::json;

namespace {

class ToolServers : public ToolTest {
protected:
    json show(const std::string& name) { return run_ok({"--json", "server", "show", name}).json(); }
};

// A server the service already knows, with properties the tool cannot set.
void seed_server(DsmControl::Control_ptr control, const std::string& name, const std::string& type,
                 const Props& props) {
    DS::StorageServerInfo_var info = new OBV_DS::StorageServerInfo;
    auto* host = new OBV_DS::StorageServer;
    host->name(name.c_str());
    host->servertype(type.c_str());
    host->type(6);
    for (auto& p : props) add_property(host->properties(), p.first.c_str(), p.second);
    info->host(adopt(host));
    info->name(name.c_str());
    CORBA::Any a;
    a <<= info.in();
    control->seed(a);
}

void seed_enclosure(DsmControl::Control_ptr control, const std::string& name, int disks) {
    DS::EnclosureInfo_var info = enclosure_value(
        name, disks, 4096, {{"Enclosure Type", "JBOD"}, {"Enclosure Array Type", "raid6"}, {"Availability", "y"}});
    seed(control, info.in());
}

}  // namespace

TEST_F(ToolServers, WholeLife) {
    ToolResult r = run_ok(
        {"server", "create", "sts9", "--type", "AdvancedDisk", "--media-server", "media1", "--reason", "new server"});
    EXPECT_EQ(r.out, "Storage server sts9 created\n");
    json list = run_ok({"--json", "server", "list"}).json();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["name"], "sts9");
    EXPECT_EQ(list[0]["state"], "up");
    r = run_ok({"server", "list"});
    EXPECT_EQ(r.out, expected("server_list.txt"));
    EXPECT_TRUE(run_ok({"--json", "server", "list", "--machine", "elsewhere"}).json().empty());

    json s = show("sts9");
    EXPECT_EQ(s["server_type"], "AdvancedDisk");
    EXPECT_EQ(s["storage_type"], 6);
    EXPECT_EQ(s["access_media_server"], "media1");

    // Configuration items: set, read back all or some, and change one.
    r = run_ok({"server", "config", "set", "sts9", "retention=30", "label=gold tier", "--kind", "2"});
    EXPECT_EQ(r.out, "Storage server sts9: 2 configuration item(s) set\n");
    EXPECT_EQ(run_ok({"server", "config", "get", "sts9"}).out, expected("server_config.txt"));
    json items = run_ok({"--json", "server", "config", "get", "sts9", "label"}).json();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]["value"], "gold tier");
    EXPECT_EQ(items[0]["kind"], 2);
    run_ok({"server", "config", "set", "sts9", "retention=60"});
    items = run_ok({"--json", "server", "config", "get", "sts9", "retention"}).json();
    EXPECT_EQ(items[0]["value"], "60");
    EXPECT_EQ(items[0]["kind"], 2) << "an existing item keeps its kind";
    r = expect_exit(2, {"server", "config", "set", "sts9", "novalue"});
    EXPECT_NE(r.err.find("'novalue' is not NAME=VALUE"), std::string::npos) << r.err;

    r = run_ok({"server", "state", "sts9", "down", "--reason", "maintenance"});
    EXPECT_EQ(r.out, "Storage server sts9 is down\n");
    DS::StorageServer_var sent = last_argument<DS::StorageServer>(control(), "updateStorageServer", 0);
    ASSERT_TRUE(sent.in());
    Props props = props_of(sent->properties());
    EXPECT_NE(std::find(props.begin(), props.end(), std::make_pair(std::string("DSM::AdminUp"), std::string("0"))),
              props.end());
    EXPECT_EQ(show("sts9")["state"], "down");

    run_ok({"server", "update", "sts9", "--flags", "7", "--flags-ext", "18446744073709551615"});
    s = show("sts9");
    EXPECT_EQ(s["flags"], 7);
    EXPECT_EQ(s["flags_ext"].get<uint64_t>(), 18446744073709551615ull);
    run_ok({"server", "update", "sts9", "--media-server", "media2"});
    EXPECT_EQ(show("sts9")["access_media_server"], "media2");
    expect_exit(2, {"server", "update", "sts9"});

    r = run_ok({"server", "delete", "sts9", "--reason", "retired"});
    EXPECT_EQ(r.out, "Storage server sts9 deleted\n");
    r = expect_exit(1, {"server", "show", "sts9"});
    EXPECT_NE(r.err.find("dsm_get_storageserverinfo failed with status 2050010"), std::string::npos) << r.err;
    EXPECT_EQ(run_ok({"--json", "server", "show", "sts9", "--no-validate"}).json()["name"], "sts9")
        << "described as asked when not validated";
}

TEST_F(ToolServers, ArrayTypesOfSharedDiskServersAndDataMovers) {
    seed_server(control(), "shared1", "SharedDisk",
                {{"Arraytype.List", "emc:clariion:CLARiiON"}, {"Arraytype.List", "nocolon"}, {"Other", "x:y"}});
    json types = run_ok({"--json", "server", "arraytypes", "shared1"}).json();
    ASSERT_EQ(types.size(), 1u);
    EXPECT_EQ(types[0]["name"], "emc:clariion");
    EXPECT_EQ(types[0]["display_name"], "CLARiiON");
    EXPECT_EQ(run_ok({"--json", "server", "show", "shared1"}).json()["array_types"], types);
    EXPECT_EQ(run_ok({"--json", "server", "arraytypes", "shared1", "--datamover"}).json(), types);

    run_ok({"server", "create", "plain", "--type", "AdvancedDisk"});
    ToolResult r = expect_exit(1, {"server", "arraytypes", "plain"});
    EXPECT_NE(r.err.find("status 2050200 DSM_E_INVALID_ARG (invalid argument)"), std::string::npos) << r.err;
}

TEST_F(ToolServers, EnclosuresListedShownAndImported) {
    seed_enclosure(control(), "array0", 2);
    seed_enclosure(control(), "array1", 3);
    ToolResult r = run_ok({"enclosure", "list"});
    EXPECT_EQ(r.out, expected("enclosure_list.txt"));
    EXPECT_EQ(run_ok({"enclosure", "list", "--brief"}).out, "array0\narray1\n");
    EXPECT_EQ(run_ok({"--json", "enclosure", "list", "--brief", "--server", "sts1"}).json(),
              json::array({"array0", "array1"}));
    EXPECT_TRUE(run_ok({"--json", "enclosure", "list", "--server", "nobody"}).json().empty());

    json e = run_ok({"--json", "enclosure", "show", "array0"}).json();
    EXPECT_EQ(e["type"], "JBOD");
    EXPECT_EQ(e["availability"], "yes");
    ASSERT_EQ(e["disk_list"].size(), 2u);
    EXPECT_EQ(e["disk_list"][0]["availability"], "yes");
    EXPECT_EQ(e["disk_list"][1]["availability"], "no") << "a used disk";
    ASSERT_EQ(e["server_list"].size(), 1u);
    EXPECT_EQ(e["server_list"][0]["name"], "sts1");
    r = expect_exit(1, {"enclosure", "show", "array9"});
    EXPECT_EQ(r.err, "dsmtool: enclosure show: no enclosure named array9\n");

    r = run_ok({"enclosure", "import", "array1", "--pool", "frompool", "--server", "sts1"});
    EXPECT_EQ(r.out, "Enclosure array1 imported as pool frompool\n");
    DS::Enclosure_var sent = last_argument<DS::Enclosure>(control(), "importEnclosure", 0);
    ASSERT_TRUE(sent.in());
    Props props = props_of(sent->properties());
    ASSERT_GE(props.size(), 2u);
    EXPECT_EQ(props[props.size() - 2], std::make_pair(std::string("DSM::diskGroupName"), std::string("frompool")));
    EXPECT_EQ(props.back(), std::make_pair(std::string("DSM::master"), std::string("127.0.0.1")));
    json pool = run_ok({"--json", "pool", "show", "frompool"}).json();
    EXPECT_EQ(pool["disks"], 3);
    EXPECT_EQ(pool["server_type"], "SANDisk");
    run_ok({"enclosure", "import", "array0"});
    EXPECT_EQ(run_ok({"--json", "pool", "show", "array0"}).json()["disks"], 2) << "named after the enclosure";
    expect_exit(2, {"enclosure", "import", "array0", "--share", "-1"});
}

// Other programs may store any bytes in a name: one that is not UTF-8 shows
// with U+FFFD for each bad byte, in tables and JSON alike, and the others
// are listed as ever.
TEST_F(ToolServers, ANameThatIsNotUtf8SpoilsNoListing) {
    for (const char* name : {"bad\xFFname", "good"}) seed_server(control(), name, "AdvancedDisk", {});
    ToolResult r = run_ok({"--json", "server", "list"});
    EXPECT_EQ(r.json(), json::parse(expected("server_list_bad_name.json")));
    EXPECT_EQ(run_ok({"server", "list"}).out, expected("server_list_bad_name.txt"));
}
