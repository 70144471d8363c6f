// dsmtool's storage server and enclosure commands against the bundled
// service: what people and scripts read (compared whole), and what reached
// the service.
#include "ToolRun.h"

using namespace dsmtest;
using ToolServers = ToolTest;

// Configuration items are set, read back all or some, and changed (keeping
// their kind); a server not validated is described as asked.
TEST_F(ToolServers, WholeLife) {
    std::string t = transcript({"server create sts9 --type AdvancedDisk --media-server media1 --reason 'x'",
                                "--json server list", "server list", "--json server list --machine elsewhere",
                                "--json server show sts9",
                                "server config set sts9 retention=30 'label=gold tier' --kind 2",
                                "server config get sts9", "--json server config get sts9 label",
                                "server config set sts9 retention=60", "--json server config get sts9 retention",
                                "server config set sts9 novalue", "server state sts9 down --reason maintenance"});
    EXPECT_EQ(sent<DS::StorageServer>("updateStorageServer", "DSM::AdminUp"), Args{"0"});
    t += transcript({"server list", "server update sts9 --flags 7 --flags-ext 18446744073709551615",
                     "server update sts9 --media-server media2", "--json server show sts9", "server update sts9",
                     "server delete sts9 --reason retired", "server show sts9",
                     "--json server show sts9 --no-validate"});
    expect_whole(t, "server_life.txt");
}

TEST_F(ToolServers, ArrayTypesOfSharedDiskServersAndDataMovers) {
    seed_server("shared1", "SharedDisk",
                {{"Arraytype.List", "emc:clariion:CLARiiON"}, {"Arraytype.List", "nocolon"}, {"Other", "x:y"}});
    run_ok("server create plain --type AdvancedDisk");
    expect_whole(transcript({"--json server arraytypes shared1", "--json server show shared1",
                             "--json server arraytypes shared1 --datamover", "server arraytypes plain"}),
                 "array_types.txt");
}

// The second disk of each enclosure is in use; one imported without a pool
// name gives its own.
TEST_F(ToolServers, EnclosuresListedShownAndImported) {
    const Props props = {{"Enclosure Type", "JBOD"}, {"Enclosure Array Type", "raid6"}, {"Availability", "y"}};
    for (auto [name, disks] : {std::make_pair("array0", 2), std::make_pair("array1", 3)})
        seed_value(DS::EnclosureInfo_var(enclosure_value(name, disks, 4096, props)).in());
    json e = run_json("enclosure show array0");
    EXPECT_EQ(e["type"], "JBOD");
    EXPECT_EQ(e["availability"], "yes");
    ASSERT_EQ(e["disk_list"].size(), 2u);
    EXPECT_EQ(e["disk_list"][0]["availability"], "yes");
    EXPECT_EQ(e["disk_list"][1]["availability"], "no");
    ASSERT_EQ(e["server_list"].size(), 1u);
    EXPECT_EQ(e["server_list"][0]["name"], "sts1");
    std::string t = transcript({"enclosure list", "enclosure list --brief", "--json enclosure list --server nobody",
                                "--json enclosure list --brief --server sts1", "enclosure show array9",
                                "enclosure import array1 --pool frompool --server sts1"});
    const Props sent = sent_props<DS::Enclosure>("importEnclosure");
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(Props(sent.end() - 2, sent.end()),
              (Props{{"DSM::diskGroupName", "frompool"}, {"DSM::master", "127.0.0.1"}}));
    // (The seeded hosts have no storage type: the pools' is not compared.)
    const json pool = run_json("pool show frompool");
    EXPECT_EQ(pool["disks"], 3);
    EXPECT_EQ(pool["server_type"], "SANDisk");
    t += transcript({"enclosure import array0", "enclosure import array0 --share -1"});
    EXPECT_EQ(run_json("pool show array0")["disks"], 2) << "named after the enclosure";
    expect_whole(t, "enclosure_life.txt");
}

// Other programs may store any bytes in a name: one that is not UTF-8 shows
// with U+FFFD for each bad byte, in tables and JSON alike, and the others
// are listed as ever.
TEST_F(ToolServers, ANameThatIsNotUtf8SpoilsNoListing) {
    for (const char* name : {"bad\xFFname", "good"}) seed_server(name, "AdvancedDisk", {});
    expect_whole(transcript({"--json server list", "server list"}), "server_list_bad_name.txt");
}
