// The bundled service as the benchmarks use it: started on a free loopback
// port, the library pointed at it, a plain omniORB client of
// DiskServiceMgr beside the library, and the service's content seeded for
// the case at hand.
//
// DSM_BENCH_CLIENT_CPU and DSM_BENCH_SERVICE_CPU, when set, pin this process
// and the service to those cores: on a small machine that keeps wall times
// steadier than letting the two share one.
#ifndef DSM_BENCH_BENCHSERVICE_H
#define DSM_BENCH_BENCHSERVICE_H

#include "ServiceFixture.h"

#include "dsmlib_internal.h"

#include "dsm.h"

#include <memory>

namespace dsmbench {

constexpr int kVolumes = 10000;

class BenchService {
public:
    explicit BenchService(int call_timeout_ms = 30000);
    ~BenchService();
    BenchService(const BenchService&) = delete;
    BenchService& operator=(const BenchService&) = delete;

    // The service holds exactly 'n' pools named pool0.. (reseeded only when
    // 'n' changes).
    void seed_pools(int n);
    // The service holds one pool "big" with kVolumes volumes.
    void seed_volumes();
    // The plain client's own reference.
    DS::DiskServiceMgr_ptr plain() const { return plain_.in(); }

private:
    std::unique_ptr<ServiceProcess> service_;
    std::unique_ptr<dsmtest::ConfigFile> config_;
    DsmControl::Control_var control_;
    DS::DiskServiceMgr_var plain_;
    int seeded_pools_ = -1;
};

// What a volume list must do to the caller's records before any value is
// read: clear each one and fill in the pool it asked about, the way the
// library does it. The floor no implementation of the list can go below.
void clear_volume_records(dsm_diskvolumeinfo_t* records, int n, const dsm_diskgroup_t& pool);

// The key a caller of the plain client would send: what the library sends.
DS::DiskGroup* pool_key(const char* name);

}  // namespace dsmbench

#endif
