// Storage servers and enclosures through the library against the bundled
// service: a server's whole life, array types, enclosures and their import.
#include "LogCapture.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

using namespace dsmtest;
using std::make_tuple;
using std::string;
using Servers = LibraryTest;

namespace {

dsm_configitem_t item(const std::string& name, const std::string& value, int type) {
    dsm_configitem_t c{};
    set(c.name, name);
    set(c.value, value);
    c.data_type = type;
    return c;
}

}  // namespace

TEST_F(Servers, WholeLifeWithConfigurationFlagsAndState) {
    const dsm_storageserver_t s = server_record("sts1");
    ASSERT_EQ(dsm_create_storageserver(&s, 1, "new server"), DSM_OK);

    // A bad configuration item among good ones is reported and the others
    // still travel, their kinds surviving both mappings.
    const dsm_configitem_t items[3] = {item("Threads", "8", 2), item("Broken", "x", 9), item("Path", "/data", 1)};
    LogCapture capture;
    EXPECT_EQ(dsm_update_storageserver_configitems(&s, 1, items, 3, "tuning"), DSM_OK);
    EXPECT_TRUE(capture.has("Failed to populate StorageServerConfig (error=2050200)", DSM_SEV_ERROR,
                            "dsm_update_storageserver_configitems")) << capture.dump();
    dsm_configitem_t back[8] = {};
    int avail = 0;
    ASSERT_EQ(dsm_get_storageserver_configitems(&s, 1, back, 8, &avail), DSM_OK);
    std::map<string, std::pair<string, int>> got;
    for (int i = 0; i < avail && i < 8; ++i) got[back[i].name] = {back[i].value, back[i].data_type};
    EXPECT_EQ(got["Threads"], std::make_pair(string("8"), 2));
    EXPECT_EQ(got["Path"], std::make_pair(string("/data"), 1));

    // A change the service refused or could not make ends the call with that
    // failure: the read-back into the output record must not turn it into 0.
    // Only a null result goes on to the read-back, whose status then stands.
    // (Flags, extended flags and state share this path.)
    dsm_storageserverinfo_t info{};
    control()->failWithServiceException("updateStorageServer", 1, disk_error(2050077).in());
    EXPECT_EQ(dsm_update_storageserver_flags(&s, 7, 1, &info, "why"), 2050077);
    control()->failWithSystemException("updateStorageServer", 1, DsmControl::SYS_COMM_FAILURE);
    EXPECT_EQ(dsm_update_storageserver_flags(&s, 7, 1, &info, "why"), DSM_E_CORBA);
    EXPECT_EQ(control()->callCount("getStorageServerInfo"), 0) << "no read-back after an exception";
    EXPECT_EQ(info.object_ref, nullptr);
    control()->returnNull("updateStorageServer", 1);
    EXPECT_EQ(dsm_update_storageserver_flags(&s, 7, 1, &info, "why"), DSM_OK)
        << "a null result yields to the read-back";
    EXPECT_NE(info.object_ref, nullptr);
    control()->returnNull("updateStorageServer", 1);
    EXPECT_EQ(dsm_update_storageserver_flags(&s, 7, 1, nullptr, "why"), DSM_E_NULL_RESULT);

    // Flags and state, each refreshing the caller's record.
    ASSERT_EQ(dsm_update_storageserver_flags(&s, 0x21, 1, &info, nullptr), DSM_OK);
    uint64_t flags = 0, flagsext = 0;
    EXPECT_EQ(dsm_storageserver_flags(&info, &flags), DSM_OK);
    EXPECT_EQ(make_tuple(flags, info.property_flags), make_tuple(uint64_t(0x21), int64_t(0x21)));
    ASSERT_EQ(dsm_update_storageserver_flagsext(&s, 0xFFFFFFFFFFFFFFFFull, 1, &info, nullptr), DSM_OK);
    EXPECT_EQ(dsm_storageserver_flagsext(&info, &flagsext), DSM_OK);
    EXPECT_EQ(flagsext, 0xFFFFFFFFFFFFFFFFull);
    ASSERT_EQ(dsm_update_storageserver_state(&s, 2, 1, nullptr, nullptr), DSM_OK);
    Props props = sent_props<DS::StorageServer>(control(), "updateStorageServer");
    ASSERT_FALSE(props.empty());
    EXPECT_EQ(props.back(), std::make_pair(string("DSM::AdminUp"), string("0")));

    capture.clear();
    ASSERT_EQ(dsm_get_storageserverinfo(&s, 1, &info), DSM_OK);
    EXPECT_TRUE(capture.has("Found older StorageServerInfo object reference, removing it", DSM_SEV_TRACE,
                            "dsm_get_storageserverinfo"));
    EXPECT_EQ(static_cast<DS::StorageServerInfo*>(info.object_ref)->_refcount_value(), 1u);
    props = sent_props<DS::StorageServer>(control(), "getStorageServerInfo");
    ASSERT_FALSE(props.empty());
    EXPECT_EQ(props.back(), std::make_pair(string("DSM::StorageServerMustExist"), string("true")));
    EXPECT_EQ(dsm_removeref_storageserver(&info), DSM_OK);

    // The service carries the delete out and flags the audit: 2000053.
    control()->setAuditOutcome("removeStorageServer", 1, "1");
    EXPECT_EQ(dsm_delete_storageserver(&s, 1, "retire"), DSM_E_AUDIT);
}

TEST_F(Servers, StateAccessorAndArrayTypes) {
    DS::StorageServerInfo_var v = new OBV_DS::StorageServerInfo;
    auto* host = new OBV_DS::StorageServer;
    host->name("shared1");
    host->servertype("SharedDisk");
    add_property(host->properties(), "DSM::state", "3");
    add_property(host->properties(), "Arraytype.List", "int:er:Display A");
    add_property(host->properties(), "Arraytype.List", "no colon here");
    add_property(host->properties(), "Arraytype.ListX", "x:y");
    v->host(dsmtest::adopt(host));
    v->name("shared1");
    reply_with(control(), "getStorageServerInfo", v.in());

    const dsm_storageserver_t s = server_record("shared1", "SharedDisk");
    dsm_storageserverinfo_t info{};
    ASSERT_EQ(dsm_get_storageserverinfo_novalidate(&s, 1, &info), DSM_OK);
    uint32_t state = 9;
    EXPECT_EQ(dsm_storageserver_state(&info, &state), DSM_OK);
    EXPECT_EQ(state, 0u) << "a state other than 1 or 2 reads as 0";

    dsm_name_t display[4], names[4];
    int avail = 0;
    ASSERT_EQ(dsm_get_storageserver_arraytypes(&info, display, names, 4, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(avail, string(display[0]), string(names[0])),
              make_tuple(1, string("Display A"), string("int:er")));
    std::memset(display, 0, sizeof display);
    ASSERT_EQ(dsm_get_storageserver_arraytypes(&info, display, nullptr, 0, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(avail, display[0][0]), make_tuple(2, '\0')) << "without room both count, none is copied";
    EXPECT_EQ(dsm_removeref_storageserver(&info), DSM_OK);

    // A data mover's array types come from its server info, which the call gives back.
    CountedValues<OBV_DS::StorageServerInfo> infos("IDL:Orvane/Keldra/DL/DiskService/StorageServerInfo:1.0");
    reply_with(control(), "getStorageServerInfo", v.in());
    ASSERT_EQ(dsm_get_datamover_arraytypes("shared1", display, names, 4, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(avail, string(display[0]), string(names[0]), infos.live()),
              make_tuple(1, string("Display A"), string("int:er"), 0));
}

TEST_F(Servers, EnclosuresListedAndImportedAsAPool) {
    for (int e = 0; e < 5; ++e) {
        DS::EnclosureInfo_var info = enclosure_value("array" + std::to_string(e), 2, 1000 + e,
                                                     {{"Enclosure Serial Number", "SN"}, {"Availability", "y"}});
        add_property(info->enclosure()->properties(), "DSM::servertype", "SANDisk");
        seed(control(), info.in());
    }
    const dsm_storageserver_t s = server_record("sts1", "SANDisk");
    dsm_enclosure_t names[8];
    int avail = 0;
    ASSERT_EQ(dsm_get_enclosure_list(&s, 0, names, 8, &avail), DSM_OK);
    EXPECT_EQ(avail, 5);
    EXPECT_STREQ(names[0].server_type, "SANDisk");

    dsm_enclosureinfo_t infos[2] = {}, bare{};
    ASSERT_EQ(dsm_get_enclosureinfo_list(&s, 1, infos, 2, &avail), DSM_OK);
    EXPECT_TRUE(infos[0].object_ref && infos[1].object_ref);
    EXPECT_EQ(make_tuple(avail, infos[0].num_disks, infos[0].availability), make_tuple(5, 2, 1));
    dsm_disk_t disks[4];
    ASSERT_EQ(dsm_get_enclosure_disks(&infos[0], disks, 4, &avail), DSM_OK);
    EXPECT_EQ(make_tuple(avail, disks[0].availability, disks[1].availability), make_tuple(2, 1, 2))
        << "the second disk is used";

    LogCapture capture;
    dsm_diskgroupinfo_t pool{};
    EXPECT_EQ(dsm_import_enclosure(&infos[0], "fromarray", "127.0.0.1", &s, 1, -1, &pool), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'num_share_stservers' is negative (-1)", DSM_SEV_ERROR,
                            "dsm_import_enclosure"));
    ASSERT_EQ(dsm_import_enclosure(&infos[0], "fromarray", "127.0.0.1", &s, 1, 0, &pool), DSM_OK) << capture.dump();
    EXPECT_EQ(make_tuple(string(pool.diskgroup.name), pool.object_ref), make_tuple(string("fromarray"), nullptr));
    const Props props = sent_props<DS::Enclosure>(control(), "importEnclosure");
    ASSERT_GE(props.size(), 2u);
    EXPECT_EQ(Props(props.end() - 2, props.end()),
              (Props{{"DSM::diskGroupName", "fromarray"}, {"DSM::master", "127.0.0.1"}}));

    EXPECT_EQ(dsm_get_enclosure_disks(&bare, disks, 4, &avail), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("EnclosureInfo object reference is NULL", DSM_SEV_ERROR, "dsm_get_enclosure_disks"));
    EXPECT_EQ(dsm_removeref_enclosureinfo_list(infos, 2), DSM_OK);
}
