// Records and seeded service objects shared by the pool and volume tests.
#ifndef DSM_TESTS_POOLHELPERS_H
#define DSM_TESTS_POOLHELPERS_H

#include "Adopt.h"
#include "ServiceFixture.h"

#include "dsm.h"
#include "dsmlib_internal.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace dsmtest {

namespace OBV_DS = OBV_Orvane::Keldra::DL::DiskService;

template <size_t N>
void set(char (&field)[N], const std::string& text) {
    std::strncpy(field, text.c_str(), N - 1);
    field[N - 1] = '\0';
}

inline dsm_diskgroup_t pool_record(const std::string& name, const std::string& type = "AdvancedDisk",
                                   const std::string& master = "127.0.0.1") {
    dsm_diskgroup_t g{};
    set(g.name, name);
    set(g.server_type, type);
    set(g.master_server, master);
    return g;
}

inline dsm_storageserver_t server_record(const std::string& name, const std::string& type = "AdvancedDisk") {
    dsm_storageserver_t s{};
    set(s.name, name);
    set(s.server_type, type);
    s.storage_type = 6;
    return s;
}

inline dsm_diskvolume_t volume_record(const std::string& name, const dsm_diskgroup_t& pool) {
    dsm_diskvolume_t v{};
    set(v.name, name);
    v.diskgroup = pool;
    return v;
}

inline dsm_diskgroupinfo_t empty_info() { return dsm_diskgroupinfo_t{}; }

inline void add_property(DS::PropertySeq& list, const char* name, const std::string& value) {
    const CORBA::ULong n = list.length();
    list.length(n + 1);
    auto* p = new OBV_DS::Property;
    p->name(name);
    p->value(value.c_str());
    list[n] = p;
}

typedef std::vector<std::pair<std::string, std::string>> Props;

// The properties of a value, in order, as name/value pairs.
inline Props props_of(const DS::PropertySeq& list) {
    Props out;
    for (CORBA::ULong i = 0; i < list.length(); ++i)
        if (list[i]) out.emplace_back(list[i]->name(), list[i]->value());
    return out;
}

// A pool info as the service would hold it, for seeding.
inline DS::DiskGroupInfo* pool_value(const std::string& name, const Props& props = {},
                                     const std::string& type = "AdvancedDisk") {
    auto* info = new OBV_DS::DiskGroupInfo;
    auto* g = new OBV_DS::DiskGroup;
    g->name(name.c_str());
    g->objId(("pool-" + name).c_str());
    add_property(g->properties(), "DSM::servertype", type);
    add_property(g->properties(), "DSM::master", "127.0.0.1");
    for (auto& p : props) add_property(g->properties(), p.first.c_str(), p.second);
    info->group(dsmtest::adopt(g));
    info->name(name.c_str());
    info->id(g->objId());
    info->servertype(type.c_str());
    info->master_server("127.0.0.1");
    return info;
}

// Makes the next call of 'op' answer 'value' (a value or a sequence).
template <class T>
void reply_with(DsmControl::Control_ptr control, const char* op, const T& value) {
    CORBA::Any a;
    a <<= value;
    control->scriptReply(op, 1, a);
}

// Seeds a pool or enclosure info into the service (the any copies it).
template <class T>
void seed(DsmControl::Control_ptr control, T* info) {
    CORBA::Any a;
    a <<= info;
    control->seed(a);
}

// An enclosure as the service would hold it: 'disks' disks named after it,
// the second one in use, reached through the SANDisk storage server sts1.
inline DS::EnclosureInfo* enclosure_value(const std::string& name, int disks, CORBA::LongLong capacity,
                                          const Props& props) {
    auto* info = new OBV_DS::EnclosureInfo;
    auto* encl = new OBV_DS::Enclosure;
    encl->name(name.c_str());
    encl->objId(("enc-" + name).c_str());
    encl->type(0);
    info->enclosure(dsmtest::adopt(encl));
    info->name(name.c_str());
    info->id(encl->objId());
    info->servertype("SANDisk");
    info->capacity(capacity);
    for (auto& p : props) add_property(info->properties(), p.first.c_str(), p.second);
    info->disks().length(static_cast<CORBA::ULong>(disks));
    for (int d = 0; d < disks; ++d) {
        auto* disk = new OBV_DS::Disk;
        disk->name((name + "-disk" + std::to_string(d)).c_str());
        disk->used(d == 1);
        disk->type(0);
        info->disks()[static_cast<CORBA::ULong>(d)] = disk;
    }
    info->hosts().length(1);
    auto* host = new OBV_DS::StorageServer;
    host->name("sts1");
    host->servertype("SANDisk");
    host->type(6);
    info->hosts()[0] = host;
    return info;
}

// The value passed as argument 'index' of the last call of 'op'.
template <class T>
T* last_argument(DsmControl::Control_ptr control, const char* op, CORBA::ULong index) {
    DsmControl::AnySeq_var args = control->lastArguments(op);
    if (index >= args->length()) return nullptr;
    T* value = nullptr;
    if (!(args[index] >>= value)) return nullptr;
    if (value) value->_add_ref();  // the any keeps its own
    return value;
}

// The properties of value argument 'index' of the last call of 'op'.
template <class T>
Props sent_props(DsmControl::Control_ptr control, const char* op, CORBA::ULong index = 0) {
    T* value = last_argument<T>(control, op, index);
    EXPECT_NE(value, nullptr) << op << " argument " << index;
    if (!value) return {};
    Props props = props_of(value->properties());
    value->_remove_ref();
    return props;
}

// A plain argument (a number, or a string as T = std::string) of the last
// call of 'op'.
template <class T>
T sent_scalar(DsmControl::Control_ptr control, const char* op, CORBA::ULong index) {
    DsmControl::AnySeq_var args = control->lastArguments(op);
    typename std::conditional<std::is_same<T, std::string>::value, const char*, T>::type value{};
    EXPECT_TRUE(index < args->length() && (args[index] >>= value)) << op << " argument " << index;
    return value ? T(value) : T();
}

// Details for a scripted failure; the caller keeps them (the control call
// copies its argument).
inline DS::DiskServiceExceptionDetails_var disk_error(CORBA::Long code) {
    DS::DiskServiceExceptionDetails_var d = new OBV_DS::DiskServiceExceptionDetails;
    d->errorCode(code);
    d->errorDomain(1);
    d->errorText("scripted failure");
    return d;
}

// A test with the library pointed at the bundled service.
// While alive, the values of one kind that the library's ORB unmarshals are
// counted: one the library keeps a reference to is never freed. The library
// must have registered its factories (connected once) before.
template <class Obv>
class CountedValues {
public:
    explicit CountedValues(const char* repo_id) : repo_(repo_id) {
        auto* mine = new Factory;
        previous_ = ServiceEnvironment::get().orb()->register_value_factory(repo_, mine);
        mine->_remove_ref();
    }
    ~CountedValues() {
        ServiceEnvironment::get().orb()->register_value_factory(repo_, previous_)->_remove_ref();
        previous_->_remove_ref();
    }
    static int live() { return live_; }

private:
    struct Value : Obv {
        Value() { ++live_; }
        ~Value() override { --live_; }
    };
    struct Factory : CORBA::ValueFactoryBase {
        CORBA::ValueBase* create_for_unmarshal() override { return new Value; }
    };
    static inline int live_ = 0;
    const char* repo_;
    CORBA::ValueFactory previous_;
};

class LibraryTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dsmlib_set_emmserver(ServiceEnvironment::get().service().address().c_str());
    }
};

}  // namespace dsmtest

#endif
