// Every value type and exception the library receives, through the bundled
// service over IIOP and back, compared to the byte, so that the value
// factories the library registers make each type as sent. Each value type
// travels once; a member of a type already covered is left out.
#include "Adopt.h"
#include "ServiceFixture.h"

#include "DiskServiceHelper.h"
#include "dsmlib_internal.h"

#include <gtest/gtest.h>

#include <omniORB4/cdrStream.h>

#include <string>

using dsmtest::adopt;

namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;
namespace OBV_FW = OBV_Orvane::Keldra::TL::Framework;

namespace {

std::string wire_bytes(const CORBA::Any& a) {
    cdrMemoryStream s(1 << 20, 1);  // cleared, so that alignment padding compares equal
    a.NP_marshalDataOnly(s);
    return std::string(static_cast<const char*>(s.bufPtr()), s.bufSize());
}

// A value (by pointer) or a sequence as it travels.
template <class T>
std::string wire_of(const T& v) {
    CORBA::Any a;
    a <<= v;
    return wire_bytes(a);
}

template <class T>
T* named(T* v, const std::string& tag, CORBA::Long type = 7) {
    v->objId(("id-" + tag).c_str());
    v->type(type);
    v->name(("name-" + tag).c_str());
    DiskServiceHelper::addProperty(v->properties(), ("k-" + tag).c_str(), "v\xc3\xa9 with spaces");
    return v;
}

// Details of alternating kinds, two causes per level.
FW::ServiceExceptionDetails* cause(const char* method, int depth) {
    FW::ServiceExceptionDetails* d =
        depth % 2 ? new OBV_FW::ErrorCodeExceptionDetails : new OBV_FW::ServiceExceptionDetails;
    d->originatingMethod(method);
    d->timeStamp(depth);
    if (depth > 0) {
        d->rootCauses().length(2);
        d->rootCauses()[0] = cause("inner-a", depth - 1);
        d->rootCauses()[1] = cause("inner-b", depth - 1);
    }
    return d;
}

class Wire : public dsmtest::ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dsmlib_set_emmserver(service().address().c_str());
        dsm_ = dsmlibp_connect_dsm();
        ASSERT_FALSE(CORBA::is_nil(dsm_.in()));
    }

    // Makes the next call of 'op' reply with 'value'.
    template <class T>
    void reply_with(const char* op, const T& value) {
        CORBA::Any a;
        a <<= value;
        control()->scriptReply(op, 1, a);
    }

    // Scripts 'op' to reply with 'sent' (adopted), calls it and compares the reply to the byte.
    template <class T, class Call>
    void round_trip(const char* op, T* sent, Call call) {
        const typename T::_var_type held = sent;
        reply_with(op, held.in());
        typename T::_var_type got = call();
        ASSERT_TRUE(got.in()) << op;
        EXPECT_EQ(wire_of(got.in()), wire_of(held.in())) << op;
    }

    DS::DiskServiceMgr_var dsm_;
};

}  // namespace

// The scripted reply comes whatever the call asks for, so the keys are null.
TEST_F(Wire, InformationFormsComeBackByteForByte) {
    auto* pool = new OBV_DS::DiskGroupInfo;
    pool->capacity(9223372036854775807LL);
    pool->used(-9223372036854775807LL - 1);
    pool->stsState(-2);
    pool->group(adopt(named(new OBV_DS::DiskGroup, "pool")));
    pool->hosts().length(1);
    pool->hosts()[0] = named(new OBV_DS::StorageServer, "s1");
    pool->volumes().length(1);
    pool->volumes()[0] = named(new OBV_DS::DiskVolume, "vol");
    pool->disks().length(1);
    auto* disk = named(new OBV_DS::Disk, "disk");
    disk->used(true);  // the generated constructor leaves it unset
    pool->disks()[0] = disk;
    pool->datamovers().length(1);
    pool->datamovers()[0] = named(new OBV_DS::DataMover, "dm");
    pool->master_server("127.0.0.1");
    pool->formatted(123);
    pool->name("pool");
    round_trip("getDiskGroupInfo", pool, [&] { return dsm_->getDiskGroupInfo(nullptr, 1); });

    auto* vinfo = new OBV_DS::DiskVolumeInfo;
    vinfo->capacity(1000);
    vinfo->potential_free(400);
    vinfo->storage_server_name("s1");
    round_trip("getDiskVolumeInfo", vinfo, [&] { return dsm_->getDiskVolumeInfo(nullptr, nullptr, 0); });

    auto* ssi = new OBV_DS::StorageServerInfo;
    auto* cred = new OBV_DS::StorageServerCredentials;
    cred->userName("admin");
    cred->password("secret");
    ssi->credentials(adopt(cred));
    ssi->name("s1");
    round_trip("getStorageServerInfo", ssi, [&] { return dsm_->getStorageServerInfo(nullptr, 1); });

    auto* ei = new OBV_DS::EnclosureInfo;
    ei->capacity(77);
    DiskServiceHelper::addProperty(ei->properties(), "Enclosure Type", "array");
    ei->id("e-id");
    round_trip("getEnclosureInfo", ei, [&] { return dsm_->getEnclosureInfo(nullptr, nullptr); });

    auto* mp = new OBV_DS::MountPoint;
    DiskServiceHelper::addProperty(mp->properties(), "DSM::storageServer", "127.0.0.1");
    mp->path("/mnt/pool/vol");
    round_trip("getMountPoint", mp, [&] { return dsm_->getMountPoint(nullptr, nullptr, nullptr, mp); });
}

TEST_F(Wire, ArgumentsReachTheServiceAsSentAndAPropertyValueTravelsFirst) {
    DS::DiskGroup_var pool = named(new OBV_DS::DiskGroup, "new");
    pool->size(1234);
    DS::StorageServerSeq servers;
    servers.length(1);
    servers[0] = named(new OBV_DS::StorageServer, "s1", 3);
    servers[0]->servertype("AdvancedDisk");
    DS::DiskSeq disks;
    try {
        DS::DiskGroup_var created = dsm_->createDiskGroup(pool.in(), servers, disks, 2);
    } catch (const CORBA::UserException&) {
        // What the service decides does not matter here, only what it got.
    }
    DsmControl::AnySeq_var args = control()->lastArguments("createDiskGroup");
    ASSERT_EQ(args->length(), 4u);
    EXPECT_EQ(wire_bytes(args[0]), wire_of(pool.in()));
    EXPECT_EQ(wire_bytes(args[1]), wire_of(servers));
    CORBA::Long mode = 0;
    ASSERT_TRUE(args[3] >>= mode);
    EXPECT_EQ(mode, 2);

    DS::Property_var p = new OBV_DS::Property;
    p->name("DSM::flags");
    p->value("0");
    const std::string bytes = wire_of(p.in());
    // An empty expansion list, the string "0", padding, the string "DSM::flags".
    const std::string expected("\0\0\0\0\x02\0\0\0" "0\0" "\0\0" "\x0b\0\0\0" "DSM::flags\0", 27);
    EXPECT_EQ(bytes.substr(bytes.size() - expected.size()), expected);
}

TEST_F(Wire, ExceptionDetailsArriveWithEveryLevelAsSent) {
    DS::DiskServiceExceptionDetails_var sent = new OBV_DS::DiskServiceExceptionDetails;
    sent->originatingService("DiskService");
    auto* m = new OBV_FW::Message;
    m->textId(8);
    m->inserts().length(3);
    auto* s = new OBV_FW::StringMessageItem;
    s->name("pool");
    s->stringValue("pool1");
    m->inserts()[0] = s;
    auto* n = new OBV_FW::NumericMessageItem;
    n->numericValue(-42);
    m->inserts()[1] = n;
    m->inserts()[2] = new OBV_FW::MessageItem;
    sent->message(adopt(m));
    sent->rootCauses().length(1);
    sent->rootCauses()[0] = cause("outer", 2);
    sent->errorCode(2050010);
    sent->errorText("disk pool not found");
    sent->errorDomain(4);
    control()->failWithServiceException("getDiskGroupInfo", 1, sent.in());
    FW::IllegalArgumentExceptionDetails_var ia = new OBV_FW::IllegalArgumentExceptionDetails;
    ia->argumentName("pool");
    ia->rootCauses().length(1);
    ia->rootCauses()[0] = cause("why", 1);
    control()->failWithIllegalArgument("getDiskGroupInfo", 1, ia.in());

    // Each is compared as the base type, so that both sides marshal alike.
    const std::pair<const char*, FW::ServiceExceptionDetails*> raised[] = {{"ServiceException", sent.in()},
                                                                           {"IllegalArgumentException", ia.in()}};
    for (const auto& [kind, expected] : raised) {
        std::string arrived = "no exception";
        try {
            dsm_->getDiskGroupInfo(nullptr, 1);
        } catch (const FW::ServiceException& e) {
            arrived = "ServiceException";
            EXPECT_EQ(wire_of(static_cast<FW::ServiceExceptionDetails*>(e.details.in())), wire_of(expected));
        } catch (const FW::IllegalArgumentException& e) {
            arrived = "IllegalArgumentException";
            EXPECT_EQ(wire_of(static_cast<FW::ServiceExceptionDetails*>(e.details.in())), wire_of(expected));
        }
        EXPECT_EQ(arrived, kind);
    }
}
