// Every value type, sequence and exception of the interface through the
// bundled service over IIOP and back, compared to the byte: what the client
// sent and what it received marshal identically.
#include "Adopt.h"
#include "ServiceFixture.h"

#include "dsmlib_internal.h"

#include <gtest/gtest.h>

#include <omniORB4/cdrStream.h>

#include <string>

using dsmtest::ServiceEnvironment;
using dsmtest::ServiceTest;

namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;
namespace OBV_FW = OBV_Orvane::Keldra::TL::Framework;

namespace {

std::string wire_bytes(const CORBA::Any& a) {
    // Cleared so that alignment padding compares equal.
    cdrMemoryStream s(1 << 20, 1);
    a.NP_marshalDataOnly(s);
    return std::string(static_cast<const char*>(s.bufPtr()), s.bufSize());
}

template <class T>
std::string wire_of(T* v) {
    CORBA::Any a;
    a <<= v;
    return wire_bytes(a);
}

template <class Seq>
std::string wire_of_seq(const Seq& s) {
    CORBA::Any a;
    a <<= s;
    return wire_bytes(a);
}

void add(DS::PropertySeq& list, const char* name, const char* value) {
    const CORBA::ULong n = list.length();
    list.length(n + 1);
    auto* p = new OBV_DS::Property;
    p->name(name);
    p->value(value);
    list[n] = p;
}

template <class T>
T* named(T* v, const std::string& tag, CORBA::Long type = 7) {
    v->objId(("id-" + tag).c_str());
    v->type(type);
    v->name(("name-" + tag).c_str());
    add(v->properties(), "DSM::servertype", "AdvancedDisk");
    add(v->properties(), ("k-" + tag).c_str(), "v\xc3\xa9 with spaces");
    return v;
}

DS::StorageServer* server(const std::string& tag) {
    auto* s = named(new OBV_DS::StorageServer, tag, 3);
    s->servertype("AdvancedDisk");
    return s;
}

DS::DiskGroupInfo* full_pool_info() {
    auto* info = new OBV_DS::DiskGroupInfo;
    info->capacity(9223372036854775807LL);
    info->stsState(-2);
    auto* g = named(new OBV_DS::DiskGroup, "pool");
    g->size(-1);
    info->group(dsmtest::adopt(g));
    info->servertype("AdvancedDisk");
    info->hosts().length(2);
    info->hosts()[0] = server("s1");
    info->hosts()[1] = server("s2");
    info->storage_server_name("s1");
    info->id("pool-id");
    info->volumes().length(1);
    auto* v = named(new OBV_DS::DiskVolume, "vol");
    v->size(1LL << 40);
    info->volumes()[0] = v;
    info->disks().length(1);
    auto* d = named(new OBV_DS::Disk, "disk");
    d->used(true);
    info->disks()[0] = d;
    info->master_server("master1");
    info->formatted(123);
    info->datamovers().length(1);
    info->datamovers()[0] = named(new OBV_DS::DataMover, "dm");
    info->state(3);
    info->name("pool");
    info->used(-9223372036854775807LL - 1);
    return info;
}

FW::ServiceExceptionDetails* cause(const char* method, int depth) {
    FW::ServiceExceptionDetails* d = depth % 2 ? new OBV_FW::ErrorCodeExceptionDetails
                                               : new OBV_FW::ServiceExceptionDetails;
    d->originatingMethod(method);
    d->timeStamp(depth);
    if (depth > 0) {
        d->rootCauses().length(2);
        d->rootCauses()[0] = cause("inner-a", depth - 1);
        d->rootCauses()[1] = cause("inner-b", depth - 1);
    }
    return d;
}

DS::DiskServiceExceptionDetails* rich_details() {
    auto* d = new OBV_DS::DiskServiceExceptionDetails;
    d->originatingService("DiskService");
    d->exceptionClassName("ServiceException");
    auto* m = new OBV_FW::Message;
    m->textId(8);
    m->originatorId(178);
    m->timeStamp(1765000000);
    m->inserts().length(3);
    auto* s = new OBV_FW::StringMessageItem;
    s->position(0);
    s->name("pool");
    s->stringValue("pool1");
    m->inserts()[0] = s;
    auto* n = new OBV_FW::NumericMessageItem;
    n->position(1);
    n->name("count");
    n->numericValue(-42);
    m->inserts()[1] = n;
    m->inserts()[2] = new OBV_FW::MessageItem;
    d->message(dsmtest::adopt(m));
    d->originatingHost("emm1");
    d->originatingClass("PoolStore");
    d->originatingMethod("find():9");
    d->rootCauses().length(1);
    d->rootCauses()[0] = cause("outer", 3);
    d->timeStamp(1765000001);
    d->errorCode(2050010);
    d->errorText("disk pool not found");
    d->errorDomain(4);
    return d;
}

class Wire : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dsmlib_set_emmserver(ServiceEnvironment::get().service().address().c_str());
        dsm_ = dsmlibp_connect_dsm();
        ASSERT_FALSE(CORBA::is_nil(dsm_.in()));
    }

    // Makes the next call of 'op' reply with 'value'.
    template <class T>
    void reply_with(const char* op, T* value) {
        CORBA::Any a;
        a <<= value;
        control()->scriptReply(op, 1, a);
    }

    DS::DiskServiceMgr_var dsm_;
};

}  // namespace

TEST_F(Wire, InformationFormsComeBackByteForByte) {
    DS::DiskGroupInfo_var pool = full_pool_info();
    reply_with("getDiskGroupInfo", pool.in());
    DS::DiskGroup_var key = new OBV_DS::DiskGroup;
    DS::DiskGroupInfo_var got = dsm_->getDiskGroupInfo(key.in(), 1);
    ASSERT_TRUE(got.in());
    EXPECT_EQ(wire_of(got.in()), wire_of(pool.in()));
    EXPECT_EQ(got->capacity(), 9223372036854775807LL);
    EXPECT_STREQ(got->group()->properties()[1]->value(), "v\xc3\xa9 with spaces");
    ASSERT_TRUE(DS::Disk::_downcast(got->disks()[0]));
    EXPECT_TRUE(got->disks()[0]->used());

    auto* vinfo = new OBV_DS::DiskVolumeInfo;
    vinfo->capacity(1000);
    vinfo->stsState(1);
    vinfo->volume(dsmtest::adopt(named(new OBV_DS::DiskVolume, "v")));
    vinfo->servertype("BasicDisk");
    vinfo->storage_server_name("s1");
    vinfo->state(5);
    vinfo->potential_free(400);
    vinfo->name("v");
    vinfo->used(600);
    DS::DiskVolumeInfo_var sent_v = vinfo;
    reply_with("getDiskVolumeInfo", sent_v.in());
    DS::DiskVolume_var vkey = new OBV_DS::DiskVolume;
    DS::DiskVolumeInfo_var got_v = dsm_->getDiskVolumeInfo(vkey.in(), key.in(), 0);
    EXPECT_EQ(wire_of(got_v.in()), wire_of(sent_v.in()));

    auto* ssi = new OBV_DS::StorageServerInfo;
    auto* cred = new OBV_DS::StorageServerCredentials;
    cred->userName("admin");
    cred->password("secret");
    ssi->credentials(dsmtest::adopt(cred));
    ssi->datamovers().length(1);
    ssi->datamovers()[0] = named(new OBV_DS::DataMover, "dm1");
    ssi->host(dsmtest::adopt(server("s1")));
    ssi->name("s1");
    DS::StorageServerInfo_var sent_s = ssi;
    reply_with("getStorageServerInfo", sent_s.in());
    DS::StorageServer_var skey = server("k");
    DS::StorageServerInfo_var got_s = dsm_->getStorageServerInfo(skey.in(), 1);
    EXPECT_EQ(wire_of(got_s.in()), wire_of(sent_s.in()));
    EXPECT_STREQ(got_s->credentials()->password(), "secret");
}

TEST_F(Wire, RemainingInformationFormsRoundTrip) {
    auto* ei = new OBV_DS::EnclosureInfo;
    ei->capacity(77);
    ei->enclosure(dsmtest::adopt(named(new OBV_DS::Enclosure, "e")));
    ei->servertype("SANDisk");
    ei->hosts().length(1);
    ei->hosts()[0] = server("h");
    add(ei->properties(), "Enclosure Type", "array");
    ei->id("e-id");
    ei->disks().length(1);
    auto* edisk = named(new OBV_DS::Disk, "d");
    edisk->used(false);
    ei->disks()[0] = edisk;
    ei->name("e");
    DS::EnclosureInfo_var sent_e = ei;
    reply_with("getEnclosureInfo", sent_e.in());
    DS::Enclosure_var ekey = new OBV_DS::Enclosure;
    DS::StorageServer_var skey = server("k");
    DS::EnclosureInfo_var got_e = dsm_->getEnclosureInfo(ekey.in(), skey.in());
    EXPECT_EQ(wire_of(got_e.in()), wire_of(sent_e.in()));

    auto* di = new OBV_DS::DiskInfo;
    di->capacity(5);
    di->servertype("SANDisk");
    auto* disk = named(new OBV_DS::Disk, "d");
    disk->used(true);
    di->disk(dsmtest::adopt(disk));
    di->name("d");
    DS::DiskInfo_var sent_d = di;
    reply_with("getDiskInfo", sent_d.in());
    DS::Disk_var dkey = new OBV_DS::Disk;
    dkey->used(false);
    DS::DiskInfo_var got_d = dsm_->getDiskInfo(dkey.in(), skey.in());
    EXPECT_EQ(wire_of(got_d.in()), wire_of(sent_d.in()));

    auto* ui = new OBV_DS::DiskStorageUnitInfo;
    ui->shared_dsucount(2);
    ui->diskgroup_name("pool");
    ui->hosts().length(1);
    ui->hosts()[0] = named(new OBV_DS::DataMover, "m");
    ui->master_server("master1");
    ui->storageunit(dsmtest::adopt(named(new OBV_DS::DiskStorageUnit, "stu")));
    ui->name("stu");
    DS::DiskStorageUnitInfo_var sent_u = ui;
    reply_with("getDiskStorageUnitInfo", sent_u.in());
    DS::DiskStorageUnit_var ukey = new OBV_DS::DiskStorageUnit;
    DS::DiskStorageUnitInfo_var got_u = dsm_->getDiskStorageUnitInfo(ukey.in());
    EXPECT_EQ(wire_of(got_u.in()), wire_of(sent_u.in()));

    auto* ti = new OBV_DS::ServertypeInfo;
    ti->capacity(1);
    ti->physicalUsed(2);
    ti->totalPhysicalCapacity(3);
    ti->totalCapacity(4);
    ti->diskGroups(5);
    ti->physicalCapacity(6);
    ti->master("m");
    ti->diskVolumes(7);
    ti->name("AdvancedDisk");
    ti->used(8);
    DS::ServertypeInfo_var sent_t = ti;
    reply_with("getServertypeInfo", sent_t.in());
    DS::ServertypeInfo_var got_t = dsm_->getServertypeInfo("m", "AdvancedDisk");
    EXPECT_EQ(wire_of(got_t.in()), wire_of(sent_t.in()));
    EXPECT_EQ(got_t->diskVolumes(), 7);

    auto* mp = new OBV_DS::MountPoint;
    add(mp->properties(), "DSM::storageServer", "host1");
    mp->path("/mnt/pool/vol");
    DS::MountPoint_var sent_m = mp;
    reply_with("getMountPoint", sent_m.in());
    DS::DiskVolume_var vkey = new OBV_DS::DiskVolume;
    DS::DiskGroup_var gkey = new OBV_DS::DiskGroup;
    DS::MountPoint_var got_m = dsm_->getMountPoint(vkey.in(), gkey.in(), skey.in(), sent_m.in());
    EXPECT_EQ(wire_of(got_m.in()), wire_of(sent_m.in()));
}

TEST_F(Wire, EmptyListsAndNullMembersSurvive) {
    DS::DiskGroupInfo_var empty = new OBV_DS::DiskGroupInfo;
    reply_with("getDiskGroupInfo", empty.in());
    DS::DiskGroup_var key = new OBV_DS::DiskGroup;
    DS::DiskGroupInfo_var got = dsm_->getDiskGroupInfo(key.in(), 1);
    ASSERT_TRUE(got.in());
    EXPECT_EQ(got->group(), nullptr);
    EXPECT_EQ(got->volumes().length() + got->disks().length() + got->hosts().length() +
                  got->datamovers().length(),
              0u);
}

TEST_F(Wire, NamingFormsAreToldApartByRepositoryIdOnly) {
    DS::ObjSpecSeq seq;
    seq.length(10);
    seq[0] = named(new OBV_DS::ObjSpec, "same");
    seq[1] = named(new OBV_DS::DataMover, "same");
    seq[2] = named(new OBV_DS::Enclosure, "same");
    seq[3] = named(new OBV_DS::DiskStorageUnit, "same");
    seq[4] = named(new OBV_DS::DiskGroup, "g");
    seq[5] = named(new OBV_DS::DiskVolume, "v");
    auto* loose = named(new OBV_DS::Disk, "d");
    loose->used(true);
    seq[6] = loose;
    seq[7] = server("s");
    auto* item = named(new OBV_DS::StorageServerConfigItem, "c");
    item->value("42");
    item->cdtype(3);
    seq[8] = item;
    // seq[9] stays null.
    CORBA::Any a;
    a <<= seq;
    control()->scriptReply("getObjectsByMachine", 1, a);
    DS::ObjSpecSeq_var got = dsm_->getObjectsByMachine("host", true);
    ASSERT_EQ(got->length(), 10u);
    EXPECT_EQ(wire_of_seq(got.in()), wire_of_seq(seq));
    EXPECT_STREQ(got[0]->_NP_repositoryId(), DS::ObjSpec::_PD_repoId);
    EXPECT_TRUE(DS::DataMover::_downcast(got[1]));
    EXPECT_FALSE(DS::Enclosure::_downcast(got[1]));
    EXPECT_TRUE(DS::Enclosure::_downcast(got[2]));
    EXPECT_TRUE(DS::DiskStorageUnit::_downcast(got[3]));
    auto* got_item = DS::StorageServerConfigItem::_downcast(got[8]);
    ASSERT_TRUE(got_item);
    EXPECT_EQ(got_item->cdtype(), 3);
    EXPECT_EQ(got[9], nullptr);
}

TEST_F(Wire, AValueTwiceInOneSequenceArrivesOnce) {
    DS::DiskGroupSeq seq;
    seq.length(2);
    DS::DiskGroup* g = named(new OBV_DS::DiskGroup, "shared");
    seq[0] = g;
    g->_add_ref();
    seq[1] = g;
    CORBA::Any a;
    a <<= seq;
    control()->scriptReply("getDiskGroupList", 1, a);
    DS::StorageServerSeq none;
    DS::DiskGroupSeq_var got = dsm_->getDiskGroupList(none, true, false, 1);
    ASSERT_EQ(got->length(), 2u);
    EXPECT_EQ(got[0].in(), got[1].in()) << "sharing is kept by the value encoding";
    EXPECT_EQ(wire_of_seq(got.in()), wire_of_seq(seq));
}

TEST_F(Wire, ArgumentsReachTheServiceAsSent) {
    DS::DiskGroup_var pool = named(new OBV_DS::DiskGroup, "new");
    pool->size(1234);
    DS::StorageServerSeq servers;
    servers.length(1);
    servers[0] = server("s1");
    DS::DiskSeq disks;
    try {
        DS::DiskGroup_var created = dsm_->createDiskGroup(pool.in(), servers, disks, 2);
    } catch (const CORBA::UserException&) {
        // What the service decides does not matter here, only what it got.
    }
    DsmControl::AnySeq_var args = control()->lastArguments("createDiskGroup");
    ASSERT_EQ(args->length(), 4u);
    EXPECT_EQ(wire_bytes(args[0]), wire_of(pool.in()));
    EXPECT_EQ(wire_bytes(args[1]), wire_of_seq(servers));
    CORBA::Long mode = 0;
    ASSERT_TRUE(args[3] >>= mode);
    EXPECT_EQ(mode, 2);
}

TEST_F(Wire, PropertyValueTravelsBeforeItsName) {
    DS::Property_var p = new OBV_DS::Property;
    p->name("DSM::flags");
    p->value("0");
    const std::string bytes = wire_of(p.in());
    // An empty expansion list, the string "0", padding, the string "DSM::flags".
    const std::string expected("\0\0\0\0\x02\0\0\0" "0\0" "\0\0" "\x0b\0\0\0" "DSM::flags\0", 27);
    EXPECT_NE(bytes.find(expected), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - expected.size()), expected);
}

TEST_F(Wire, ServiceExceptionDetailsArriveWithEveryLevel) {
    DS::DiskServiceExceptionDetails_var sent = rich_details();
    control()->failWithServiceException("getDiskGroupInfo", 1, sent.in());
    DS::DiskGroup_var key = new OBV_DS::DiskGroup;
    try {
        DS::DiskGroupInfo_var never = dsm_->getDiskGroupInfo(key.in(), 1);
        FAIL() << "no exception";
    } catch (const FW::ServiceException& e) {
        auto* d = DS::DiskServiceExceptionDetails::_downcast(e.details.in());
        ASSERT_TRUE(d);
        EXPECT_EQ(wire_of(static_cast<DS::DiskServiceExceptionDetails*>(d)), wire_of(sent.in()));
        EXPECT_EQ(d->errorDomain(), 4);
        ASSERT_EQ(d->rootCauses().length(), 1u);
        auto* l1 = FW::ErrorCodeExceptionDetails::_downcast(d->rootCauses()[0]);
        ASSERT_TRUE(l1) << "an ErrorCodeExceptionDetails cause keeps its type";
        ASSERT_EQ(l1->rootCauses().length(), 2u);
        EXPECT_STREQ(l1->rootCauses()[1]->rootCauses()[0]->originatingMethod(), "inner-a");
        EXPECT_TRUE(FW::StringMessageItem::_downcast(d->message()->inserts()[0]));
        EXPECT_TRUE(FW::NumericMessageItem::_downcast(d->message()->inserts()[1]));
        EXPECT_FALSE(FW::NumericMessageItem::_downcast(d->message()->inserts()[2]));
    }
}

TEST_F(Wire, IllegalArgumentAndPlainDetailsArriveAsSent) {
    FW::IllegalArgumentExceptionDetails_var ia = new OBV_FW::IllegalArgumentExceptionDetails;
    ia->argumentName("pool");
    ia->originatingMethod("getDiskGroupInfo():1");
    ia->rootCauses().length(1);
    ia->rootCauses()[0] = cause("why", 1);
    control()->failWithIllegalArgument("getDiskGroupInfo", 1, ia.in());
    FW::ErrorCodeExceptionDetails_var ec = new OBV_FW::ErrorCodeExceptionDetails;
    ec->errorCode(2050012);  // message left null
    control()->failWithServiceException("getDiskGroupInfo", 1, ec.in());

    DS::DiskGroup_var key = new OBV_DS::DiskGroup;
    try {
        dsm_->getDiskGroupInfo(key.in(), 1);
        FAIL() << "no exception";
    } catch (const FW::IllegalArgumentException& e) {
        EXPECT_EQ(wire_of(e.details.in()), wire_of(ia.in()));
    }
    try {
        dsm_->getDiskGroupInfo(key.in(), 1);
        FAIL() << "no exception";
    } catch (const FW::ServiceException& e) {
        auto* d = FW::ErrorCodeExceptionDetails::_downcast(e.details.in());
        ASSERT_TRUE(d);
        EXPECT_FALSE(DS::DiskServiceExceptionDetails::_downcast(e.details.in()));
        EXPECT_EQ(d->errorCode(), 2050012);
        EXPECT_EQ(d->message(), nullptr);
    }
}
