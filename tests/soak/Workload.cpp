#include "Workload.h"

#include "Adopt.h"
#include "PoolHelpers.h"

#include "dsm.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace dsmtest {

namespace {

// The service's status for an object it does not know.
constexpr int kNotFound = 2050010;

// Tallies the calls of one step; the first unexpected status ends it.
class Step {
public:
    explicit Step(const char* name, int expected = DSM_OK) : outcome_{name, 0, expected, expected, true} {}

    // True when 'status' is the one wanted.
    bool call(int status, int want) {
        ++outcome_.calls;
        if (status == want) return true;
        if (outcome_.status == outcome_.expected) outcome_.status = status;
        return false;
    }
    bool call(int status) { return call(status, DSM_OK); }
    void expect(bool as_seeded) { outcome_.as_seeded = outcome_.as_seeded && as_seeded; }
    Outcome done() const { return outcome_; }

private:
    Outcome outcome_;
};

bool same(const char* field, const std::string& want) { return want == field; }

}  // namespace

Workload::Workload(int worker, int pools)
    : worker_(worker), pools_(pools), pool_("pool" + std::to_string(worker)),
      volume_("vol" + std::to_string(worker)), server_("sts" + std::to_string(worker)),
      label_("label" + std::to_string(worker)), tag_("tag" + std::to_string(worker)) {}

void Workload::seed(DsmControl::Control_ptr control) const {
    DS::DiskGroupInfo_var pool = pool_value(
        pool_, {{"DSM::flags", std::to_string(worker_)}, {"DSM::userTag", tag_}, {"DSM::storageUnitLabel", label_}});
    pool->volumes().length(1);
    auto* volume = new OBV_DS::DiskVolume;
    volume->name(volume_.c_str());
    volume->objId(("vid-" + volume_).c_str());
    add_property(volume->properties(), "DSM::diskGroupName", pool_);
    add_property(volume->properties(), "DSM::flags", std::to_string(1000 + worker_));
    pool->volumes()[0] = volume;
    dsmtest::seed(control, pool.in());

    auto* host = new OBV_DS::StorageServer;
    host->name(server_.c_str());
    host->objId(("sid-" + server_).c_str());
    host->servertype("AdvancedDisk");
    add_property(host->properties(), "DSM::flags", std::to_string(worker_));
    DS::StorageServerInfo_var server = new OBV_DS::StorageServerInfo;
    server->host(adopt(host));
    server->name(server_.c_str());
    CORBA::Any any;
    any <<= server.in();
    control->seed(any);
}

std::size_t Workload::steps() { return 9; }

Outcome Workload::run(std::size_t n) {
    switch (n % steps()) {
        case 0: return pool_details();
        case 1: return volume_details();
        case 2: return server_details();
        case 3: return pool_list();
        case 4: return missing_pool();
        case 5: return server_types();
        case 6: return storage_units();
        case 7: return global_attribute();
        default: return ping();
    }
}

Outcome Workload::pool_details() {
    Step step("pool details");
    const dsm_diskgroup_t key = pool_record(pool_);
    dsm_diskgroupinfo_t info = empty_info();
    if (step.call(dsm_get_diskgroupinfo(&key, 1, &info))) {
        step.expect(same(info.user_tag, tag_));
        std::int64_t flags = -1;
        if (step.call(dsm_diskgroup_flags(&info, &flags))) step.expect(flags == worker_);
        dsm_diskvolumeinfo_t volumes[2];
        int avail = 0;
        if (step.call(dsm_get_diskgroup_volumes(&info, volumes, 2, &avail)))
            step.expect(avail == 1 && same(volumes[0].name, volume_));
    }
    step.call(dsm_removeref_diskgroupinfo(&info));
    return step.done();
}

Outcome Workload::volume_details() {
    Step step("volume details");
    dsm_diskvolume_t key;
    std::memset(&key, 0, sizeof key);
    set(key.name, volume_);
    key.diskgroup = pool_record(pool_);
    dsm_diskvolumeinfo_t info;
    std::memset(&info, 0, sizeof info);
    if (step.call(dsm_get_diskvolumeinfoEX(&key, 1, &info))) {  // the form that holds a reference
        step.expect(same(info.name, volume_) && same(info.diskgroup.name, pool_));
        std::uint64_t flags = 0;
        if (step.call(dsm_diskvolume_flags(&info, &flags))) step.expect(flags == 1000u + worker_);
    }
    step.call(dsm_removeref_diskvolumeinfo(&info));
    return step.done();
}

Outcome Workload::server_details() {
    Step step("server details");
    const dsm_storageserver_t key = server_record(server_);
    dsm_storageserverinfo_t info;
    std::memset(&info, 0, sizeof info);
    if (step.call(dsm_get_storageserverinfo(&key, 1, &info))) {
        step.expect(same(info.stserver.name, server_) && info.property_flags == worker_);
        std::uint64_t flags = 0;
        if (step.call(dsm_storageserver_flags(&info, &flags))) step.expect(flags == static_cast<std::uint64_t>(worker_));
    }
    step.call(dsm_removeref_storageserver(&info));
    return step.done();
}

Outcome Workload::pool_list() {
    Step step("pool list");
    const dsm_storageserver_t none = server_record("");
    std::vector<dsm_diskgroupinfo_t> pools(static_cast<std::size_t>(pools_));
    int avail = 0;
    if (step.call(dsm_get_diskgroupinfo_list(&none, 0, 0, 0, 1, pools.data(), pools_, &avail))) {
        const auto mine = std::find_if(pools.begin(), pools.end(), [&](const dsm_diskgroupinfo_t& p) {
            return same(p.diskgroup.name, pool_);
        });
        step.expect(avail == pools_ && mine != pools.end() && same(mine->user_tag, tag_));
    }
    step.call(dsm_removeref_diskgroupinfo_list(pools.data(), std::min(avail, pools_)));
    return step.done();
}

Outcome Workload::missing_pool() {
    Step step("missing pool", kNotFound);
    const dsm_diskgroup_t key = pool_record(pool_ + "-missing");
    dsm_diskgroupinfo_t info = empty_info();
    step.call(dsm_get_diskgroupinfo(&key, 1, &info), kNotFound);
    step.expect(info.object_ref == nullptr);
    return step.done();
}

Outcome Workload::server_types() {
    Step step("server types");
    const int subtype = worker_ % 4;
    char name[65] = {0};
    std::uint32_t back = 99;
    if (step.call(dsm_get_storageserver_type(subtype, name, sizeof name)) &&
        step.call(dsm_get_disk_subtype(name, &back)))
        step.expect(back == static_cast<std::uint32_t>(subtype));
    return step.done();
}

Outcome Workload::storage_units() {
    Step step("storage units");
    dsm_ELP_lsu_t* lsus = nullptr;
    int count = 0;
    if (step.call(dsm_get_ELP_LSU_list_by_storage_unit_label("127.0.0.1", label_.c_str(), "", 0, &lsus, &count)))
        step.expect(count == 1 && lsus && same(lsus[0].lsu_name, volume_) && same(lsus[0].diskgroup_name, pool_));
    std::free(lsus);
    return step.done();
}

Outcome Workload::global_attribute() {
    Step step("global attribute");
    char old[64];
    const std::string name = "soak.attribute." + std::to_string(worker_);
    // The first write after a (re)start finds nothing, every later one its own value.
    if (step.call(dsm_set_global_attribute(name.c_str(), tag_.c_str(), old, sizeof old)))
        step.expect(old[0] == '\0' || same(old, tag_));
    return step.done();
}

Outcome Workload::ping() {
    Step step("ping");
    step.call(dsmlib_ping());
    return step.done();
}

}  // namespace dsmtest
