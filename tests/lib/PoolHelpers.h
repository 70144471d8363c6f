// Records and seeded service objects shared by the pool and volume tests.
#ifndef DSM_TESTS_POOLHELPERS_H
#define DSM_TESTS_POOLHELPERS_H

#include "Adopt.h"
#include "ServiceFixture.h"

#include "dsm.h"
#include "dsmlib_internal.h"

#include <cstring>
#include <string>
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
    dsm_diskgroup_t g;
    std::memset(&g, 0, sizeof g);
    set(g.name, name);
    set(g.server_type, type);
    set(g.master_server, master);
    return g;
}

inline dsm_storageserver_t server_record(const std::string& name, const std::string& type = "AdvancedDisk") {
    dsm_storageserver_t s;
    std::memset(&s, 0, sizeof s);
    set(s.name, name);
    set(s.server_type, type);
    s.storage_type = 6;
    return s;
}

inline dsm_diskgroupinfo_t empty_info() {
    dsm_diskgroupinfo_t i;
    std::memset(&i, 0, sizeof i);
    return i;
}

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

inline void seed(DsmControl::Control_ptr control, DS::DiskGroupInfo* info) {
    CORBA::Any a;
    a <<= info;  // copies
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
        info->disks()[static_cast<CORBA::ULong>(d)] = disk;
    }
    info->hosts().length(1);
    auto* host = new OBV_DS::StorageServer;
    host->name("sts1");
    host->servertype("SANDisk");
    info->hosts()[0] = host;
    return info;
}

inline void seed(DsmControl::Control_ptr control, DS::EnclosureInfo* info) {
    CORBA::Any a;
    a <<= info;  // copies
    control->seed(a);
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

// Details for a scripted failure; the caller keeps them (the control call
// copies its argument).
inline DS::DiskServiceExceptionDetails_var disk_error(CORBA::Long code) {
    DS::DiskServiceExceptionDetails_var d = new OBV_DS::DiskServiceExceptionDetails;
    d->errorCode(code);
    d->errorDomain(1);
    d->errorText("scripted failure");
    return d;
}

}  // namespace dsmtest

#endif
