#include "BenchService.h"

#include "Factories.h"
#include "Orb.h"
#include "PoolHelpers.h"

#include "dsm.h"
#include "dsmlib_api.h"

#include <sched.h>

#include <cstdlib>
#include <string>

namespace dsmbench {

using namespace dsmtest;

namespace {

// Pins 'pid' (0: this process) to the core named by 'variable', when set.
void pin(const char* variable, pid_t pid) {
    const char* cpu = std::getenv(variable);
    if (!cpu || !*cpu) return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(std::atoi(cpu), &set);
    sched_setaffinity(pid, sizeof set, &set);
}

}  // namespace

BenchService::BenchService(int call_timeout_ms) {
    pin("DSM_BENCH_CLIENT_CPU", 0);
    service_ = std::make_unique<ServiceProcess>();
    service_->start();
    pin("DSM_BENCH_SERVICE_CPU", service_->pid());
    config_ = std::make_unique<ConfigFile>();
    config_->write(service_config(service_->address(), service_->port(), call_timeout_ms));
    dsmlib_set_emmserver(service_->address().c_str());
    CORBA::ORB_ptr orb = dsmlibp_get_orb(nullptr)->orb();
    svc::register_value_factories(orb);
    control_ = service_->control(orb);
    CORBA::Object_var obj = orb->string_to_object(service_->corbaloc("DiskService.DiskServiceMgr").c_str());
    plain_ = DS::DiskServiceMgr::_narrow(obj.in());
}

BenchService::~BenchService() {
    plain_ = DS::DiskServiceMgr::_nil();
    control_ = DsmControl::Control::_nil();
    service_.reset();
}

void BenchService::seed_pools(int n) {
    if (seeded_pools_ == n) return;
    control_->reset();
    for (int i = 0; i < n; ++i) {
        DS::DiskGroupInfo_var v = pool_value("pool" + std::to_string(i));
        seed(control_.in(), v.in());
    }
    seeded_pools_ = n;
}

void BenchService::seed_volumes() {
    seed_pools(0);
    DS::DiskGroupInfo_var pool = pool_value("big");
    pool->volumes().length(kVolumes);
    for (CORBA::ULong i = 0; i < kVolumes; ++i) {
        auto* v = new OBV_DS::DiskVolume;
        v->name(("vol" + std::to_string(i)).c_str());
        v->objId(("vid" + std::to_string(i)).c_str());
        add_property(v->properties(), "DSM::diskGroupName", "big");
        pool->volumes()[i] = v;
    }
    seed(control_.in(), pool.in());
    seeded_pools_ = -2;
}

void clear_volume_records(dsm_diskvolumeinfo_t* records, int n, const dsm_diskgroup_t& pool) {
    for (int i = 0; i < n; ++i) {
        dsm::clear_record_except(records[i], records[i].diskgroup);
        records[i].diskgroup = pool;
    }
}

DS::DiskGroup* pool_key(const char* name) {
    auto* k = new OBV_DS::DiskGroup;
    k->name(name);
    add_property(k->properties(), "DSM::master", "127.0.0.1");
    add_property(k->properties(), "DSM::servertype", "AdvancedDisk");
    return k;
}

}  // namespace dsmbench
