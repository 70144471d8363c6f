// Storage servers and enclosures through the library against the bundled
// service: a server's whole life with its configuration items, flags and
// state; array types; enclosures listed, their disks and servers, and one
// imported as a pool the pool functions then see.
#include "Adopt.h"
#include "LogCapture.h"
#include "PoolHelpers.h"

#include <gtest/gtest.h>

using namespace dsmtest;

namespace {

dsm_configitem_t item(const std::string& name, const std::string& value, int type,
                      const std::string& description = "") {
    dsm_configitem_t c;
    std::memset(&c, 0, sizeof c);
    set(c.name, name);
    set(c.value, value);
    c.data_type = type;
    set(c.description, description);
    return c;
}

dsm_storageserverinfo_t empty_server_info() {
    dsm_storageserverinfo_t i;
    std::memset(&i, 0, sizeof i);
    return i;
}

class Servers : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dsmlib_set_emmserver(ServiceEnvironment::get().service().address().c_str());
    }
};

}  // namespace

TEST_F(Servers, WholeLifeWithConfigurationFlagsAndState) {
    dsm_storageserver_t s = server_record("sts1", "AdvancedDisk");
    ASSERT_EQ(dsm_create_storageserver(&s, 1, "new server"), DSM_OK);

    dsm_storageserverinfo_t listed[4];
    int avail = 0;
    ASSERT_EQ(dsm_get_storageserverinfo_list("", 1, listed, 4, &avail), DSM_OK);
    ASSERT_EQ(avail, 1);
    EXPECT_STREQ(listed[0].stserver.name, "sts1");
    EXPECT_STREQ(listed[0].stserver.server_type, "AdvancedDisk");
    EXPECT_NE(listed[0].object_ref, nullptr);
    EXPECT_EQ(dsm_removeref_storageserver_list(listed, avail), DSM_OK);

    // Configuration items: a bad one among good ones is reported and the
    // others still travel.
    const dsm_configitem_t items[3] = {item("Threads", "8", 2, "worker threads"), item("Broken", "x", 9),
                                       item("Path", "/data", 1)};
    LogCapture capture;
    EXPECT_EQ(dsm_update_storageserver_configitems(&s, 1, items, 3, "tuning"), DSM_OK);
    EXPECT_TRUE(capture.has("Failed to populate StorageServerConfig (error=2050200)", DSM_SEV_ERROR,
                            "dsm_update_storageserver_configitems")) << capture.dump();
    dsm_configitem_t back[8];
    std::memset(back, 0, sizeof back);
    ASSERT_EQ(dsm_get_storageserver_configitems(&s, 1, back, 8, &avail), DSM_OK);
    ASSERT_GE(avail, 2);
    bool threads = false, path = false;
    for (int i = 0; i < avail && i < 8; ++i) {
        if (std::string(back[i].name) == "Threads") {
            threads = true;
            EXPECT_STREQ(back[i].value, "8");
            EXPECT_EQ(back[i].data_type, 2) << "kinds survive both mappings";
        }
        if (std::string(back[i].name) == "Path") {
            path = true;
            EXPECT_EQ(back[i].data_type, 1);
        }
    }
    EXPECT_TRUE(threads && path);

    // Flags and state, each refreshing the caller's record.
    dsm_storageserverinfo_t info = empty_server_info();
    ASSERT_EQ(dsm_update_storageserver_flags(&s, 0x21, 1, &info, nullptr), DSM_OK);
    ASSERT_NE(info.object_ref, nullptr);
    uint64_t flags = 0;
    EXPECT_EQ(dsm_storageserver_flags(&info, &flags), DSM_OK);
    EXPECT_EQ(flags, 0x21u);
    EXPECT_EQ(info.property_flags, 0x21);
    ASSERT_EQ(dsm_update_storageserver_flagsext(&s, 0xFFFFFFFFFFFFFFFFull, 1, &info, nullptr), DSM_OK);
    EXPECT_EQ(dsm_storageserver_flagsext(&info, &flags), DSM_OK);
    EXPECT_EQ(flags, 0xFFFFFFFFFFFFFFFFull);
    ASSERT_EQ(dsm_update_storageserver_state(&s, 2, 1, nullptr, nullptr), DSM_OK);
    DS::StorageServer_var sent = last_argument<DS::StorageServer>(control(), "updateStorageServer", 0);
    Props props = props_of(sent->properties());
    ASSERT_FALSE(props.empty());
    EXPECT_EQ(props.back(), std::make_pair(std::string("DSM::AdminUp"), std::string("0")));

    // A second lookup replaces the held reference.
    capture.clear();
    ASSERT_EQ(dsm_get_storageserverinfo(&s, 1, &info), DSM_OK);
    EXPECT_TRUE(capture.has("Found older StorageServerInfo object reference, removing it", DSM_SEV_TRACE,
                            "dsm_get_storageserverinfo"));
    EXPECT_EQ(static_cast<DS::StorageServerInfo*>(info.object_ref)->_refcount_value(), 1u);
    sent = last_argument<DS::StorageServer>(control(), "getStorageServerInfo", 0);
    props = props_of(sent->properties());
    EXPECT_EQ(props.back(), std::make_pair(std::string("DSM::StorageServerMustExist"), std::string("true")));
    EXPECT_EQ(dsm_removeref_storageserver(&info), DSM_OK);

    // Delete, audited.
    control()->setAuditOutcome("removeStorageServer", 1, "1");
    // The service carries the change out and flags it; the caller hears 2000053.
    EXPECT_EQ(dsm_delete_storageserver(&s, 1, "retire"), DSM_E_AUDIT);
    EXPECT_NE(dsm_delete_storageserver(&s, 1, nullptr), DSM_OK) << "already gone";
    ASSERT_EQ(dsm_get_storageserverinfo_list("", 1, listed, 4, &avail), DSM_OK);
    EXPECT_EQ(avail, 0);
}

// A change the service refused or could not make ends the call with that
// failure: the read-back into the output record must not turn it into 0.
// Only a null result goes on to the read-back, whose status then stands.
TEST_F(Servers, FailedFlagAndStateUpdatesAreNeverReportedAsSuccess) {
    dsm_storageserver_t s = server_record("sts1", "AdvancedDisk");
    ASSERT_EQ(dsm_create_storageserver(&s, 1, nullptr), DSM_OK);
    using Update = int (*)(const dsm_storageserver_t&, dsm_storageserverinfo_t*);
    const std::pair<const char*, Update> updates[] = {
        {"flags", [](const dsm_storageserver_t& r, dsm_storageserverinfo_t* i) {
             return dsm_update_storageserver_flags(&r, 7, 1, i, "why"); }},
        {"flagsext", [](const dsm_storageserver_t& r, dsm_storageserverinfo_t* i) {
             return dsm_update_storageserver_flagsext(&r, 7, 1, i, "why"); }},
        {"state", [](const dsm_storageserver_t& r, dsm_storageserverinfo_t* i) {
             return dsm_update_storageserver_state(&r, 1, 1, i, "why"); }},
    };
    for (const auto& update : updates) {
        SCOPED_TRACE(update.first);
        dsm_storageserverinfo_t info = empty_server_info();
        const CORBA::Long lookups = control()->callCount("getStorageServerInfo");
        control()->failWithServiceException("updateStorageServer", 1, disk_error(2050077).in());
        EXPECT_EQ(update.second(s, &info), 2050077);
        control()->failWithSystemException("updateStorageServer", 1, DsmControl::SYS_COMM_FAILURE);
        EXPECT_EQ(update.second(s, &info), DSM_E_CORBA);
        EXPECT_EQ(control()->callCount("getStorageServerInfo"), lookups) << "no read-back after an exception";
        EXPECT_EQ(info.object_ref, nullptr);
        control()->returnNull("updateStorageServer", 1);
        EXPECT_EQ(update.second(s, &info), DSM_OK) << "a null result yields to the read-back";
        EXPECT_NE(info.object_ref, nullptr);
        control()->returnNull("updateStorageServer", 1);
        EXPECT_EQ(update.second(s, nullptr), DSM_E_NULL_RESULT);
        EXPECT_EQ(dsm_removeref_storageserver(&info), DSM_OK);
    }
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
    CORBA::Any a;
    a <<= v.in();
    control()->scriptReply("getStorageServerInfo", 1, a);

    dsm_storageserver_t s = server_record("shared1", "SharedDisk");
    dsm_storageserverinfo_t info = empty_server_info();
    ASSERT_EQ(dsm_get_storageserverinfo_novalidate(&s, 1, &info), DSM_OK);
    uint32_t state = 9;
    EXPECT_EQ(dsm_storageserver_state(&info, &state), DSM_OK);
    EXPECT_EQ(state, 0u) << "a state other than 1 or 2 reads as 0";

    dsm_name_t display[4], names[4];
    int avail = 0;
    ASSERT_EQ(dsm_get_storageserver_arraytypes(&info, display, names, 4, &avail), DSM_OK);
    ASSERT_EQ(avail, 1);
    EXPECT_STREQ(display[0], "Display A");
    EXPECT_STREQ(names[0], "int:er");
    ASSERT_EQ(dsm_get_storageserver_arraytypes(&info, display, nullptr, 0, &avail), DSM_OK);
    EXPECT_EQ(avail, 2) << "without room both list properties count";

    set(info.stserver.server_type, "AdvancedDisk");
    LogCapture capture;
    EXPECT_EQ(dsm_get_storageserver_arraytypes(&info, display, names, 4, &avail), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Invalid servertype for storage serverAdvancedDisk", DSM_SEV_ERROR,
                            "dsm_get_storageserver_arraytypes")) << capture.dump();
    EXPECT_EQ(dsm_removeref_storageserver(&info), DSM_OK);

    // A data mover the service does not know: the lookup's status.
    const int status = dsm_get_datamover_arraytypes("unknown-mover", display, names, 4, &avail);
    EXPECT_NE(status, DSM_OK);
}

TEST_F(Servers, EnclosuresListedAndImportedAsAPool) {
    for (int e = 0; e < 5; ++e) {
        const std::string name = "array" + std::to_string(e);
        DS::EnclosureInfo_var info = enclosure_value(
            name, 2, 1000 + e, {{"Enclosure Serial Number", "SN" + std::to_string(e)}, {"Availability", "y"}});
        add_property(info->enclosure()->properties(), "DSM::servertype", "SANDisk");
        seed(control(), info.in());
    }
    dsm_storageserver_t s = server_record("sts1", "SANDisk");

    dsm_enclosure_t names[8];
    int avail = 0;
    ASSERT_EQ(dsm_get_enclosure_list(&s, 0, names, 8, &avail), DSM_OK);
    EXPECT_EQ(avail, 5);
    EXPECT_STREQ(names[0].server_type, "SANDisk");

    dsm_enclosureinfo_t infos[2];
    std::memset(infos, 0, sizeof infos);
    ASSERT_EQ(dsm_get_enclosureinfo_list(&s, 1, infos, 2, &avail), DSM_OK);
    EXPECT_EQ(avail, 5);
    EXPECT_NE(infos[0].object_ref, nullptr);
    EXPECT_NE(infos[1].object_ref, nullptr);
    EXPECT_EQ(infos[0].num_disks, 2);
    EXPECT_EQ(infos[0].availability, 1);

    dsm_disk_t disks[4];
    ASSERT_EQ(dsm_get_enclosure_disks(&infos[0], disks, 4, &avail), DSM_OK);
    ASSERT_EQ(avail, 2);
    EXPECT_EQ(disks[0].availability, 1);
    EXPECT_EQ(disks[1].availability, 2) << "a used disk";
    dsm_storageserver_t hosts[2];
    ASSERT_EQ(dsm_get_enclosure_stservers(&infos[0], hosts, 2, &avail), DSM_OK);
    EXPECT_EQ(avail, 1);

    LogCapture capture;
    dsm_diskgroupinfo_t pool = empty_info();
    EXPECT_EQ(dsm_import_enclosure(&infos[0], "fromarray", "127.0.0.1", &s, 1, -1, &pool), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("Input argument 'num_share_stservers' is negative (-1)", DSM_SEV_ERROR,
                            "dsm_import_enclosure"));
    ASSERT_EQ(dsm_import_enclosure(&infos[0], "fromarray", "127.0.0.1", &s, 1, 0, &pool), DSM_OK) << capture.dump();
    EXPECT_STREQ(pool.diskgroup.name, "fromarray");
    EXPECT_EQ(pool.object_ref, nullptr);
    DS::Enclosure_var sent = last_argument<DS::Enclosure>(control(), "importEnclosure", 0);
    Props props = props_of(sent->properties());
    ASSERT_GE(props.size(), 2u);
    EXPECT_EQ(props[props.size() - 2], std::make_pair(std::string("DSM::diskGroupName"), std::string("fromarray")));
    EXPECT_EQ(props.back(), std::make_pair(std::string("DSM::master"), std::string("127.0.0.1")));

    dsm_diskgroup_t g = pool_record("fromarray", "SANDisk");
    dsm_diskgroupinfo_t seen = empty_info();
    ASSERT_EQ(dsm_get_diskgroupinfo(&g, 1, &seen), DSM_OK);
    EXPECT_EQ(seen.num_disks, 2) << "the imported pool has the enclosure's disks";
    EXPECT_EQ(dsm_removeref_diskgroupinfo(&seen), DSM_OK);

    // Records without a reference cannot list members.
    dsm_enclosureinfo_t bare;
    std::memset(&bare, 0, sizeof bare);
    EXPECT_EQ(dsm_get_enclosure_disks(&bare, disks, 4, &avail), DSM_E_INVALID_ARG);
    EXPECT_TRUE(capture.has("EnclosureInfo object reference is NULL", DSM_SEV_ERROR, "dsm_get_enclosure_disks"));
    EXPECT_EQ(dsm_removeref_enclosureinfo_list(infos, 2), DSM_OK);
}
