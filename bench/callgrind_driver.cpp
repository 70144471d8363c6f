// Instruction counts per call: one case of the benchmark run a fixed number
// of times after a warm-up, with callgrind collecting only around the
// measured calls (the service runs outside valgrind, as a separate process).
//
//   valgrind --tool=callgrind --collect-atstart=no build/bench/dsm_callgrind <case> <calls>
//
// Cases: lib-pool, plain-pool, plain-ping-pool (one pool's details, 100
// pools held), lib-volumes, plain-volumes (one pool's 10,000 volumes),
// floor-volumes (clearing and filling the caller's 10,000 records alone, as
// the list function must, with no call).
#include "BenchService.h"
#include "PoolHelpers.h"

#include "dsm.h"

#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using dsmbench::BenchService;
using dsmbench::kVolumes;
using namespace dsmtest;

constexpr int kPools = 100;
constexpr int kWarmup = 3;

struct Case {
    const char* name;
    std::function<void(BenchService&)> seed;
    std::function<bool(BenchService&)> call;  // false when the call failed
};

bool lib_pool(BenchService&) {
    static const dsm_diskgroup_t key = pool_record("pool0");
    dsm_diskgroupinfo_t info = empty_info();
    const bool ok = dsm_get_diskgroupinfo(&key, 1, &info) == DSM_OK;
    dsm_removeref_diskgroupinfo(&info);
    return ok;
}

bool plain_pool(BenchService& s) {
    DS::DiskGroup_var key = dsmbench::pool_key("pool0");
    DS::DiskGroupInfo_var info = s.plain()->getDiskGroupInfo(key.in(), 1);
    return info.in() != nullptr;
}

bool lib_volumes(BenchService&) {
    static const dsm_diskgroup_t big = pool_record("big");
    static const dsm_storageserver_t server = server_record("sts1");
    static std::vector<dsm_diskvolumeinfo_t> buf(kVolumes);
    int avail = 0;
    const bool ok = dsm_get_diskvolumeinfo_list(&server, 0, &big, 1, buf.data(), kVolumes, &avail) == DSM_OK &&
                    avail == kVolumes;
    dsm_removeref_diskvolumeinfo_list(buf.data(), kVolumes);
    return ok;
}

bool plain_volumes(BenchService& s) {
    DS::StorageServerSeq none;
    DS::DiskGroup_var key = dsmbench::pool_key("big");
    DS::DiskVolumeInfoSeq_var list = s.plain()->getDiskVolumeInfoList(none, key.in(), 1);
    return list->length() == static_cast<CORBA::ULong>(kVolumes);
}

bool floor_volumes(BenchService&) {
    static const dsm_diskgroup_t big = pool_record("big");
    static std::vector<dsm_diskvolumeinfo_t> buf(kVolumes);
    dsmbench::clear_volume_records(buf.data(), kVolumes, big);
    // Keeps the stores: the records are read after the loop.
    return buf[kVolumes - 1].diskgroup.name[0] == 'b';
}

const Case kCases[] = {
    {"lib-pool", [](BenchService& s) { s.seed_pools(kPools); }, lib_pool},
    {"plain-pool", [](BenchService& s) { s.seed_pools(kPools); }, plain_pool},
    {"plain-ping-pool", [](BenchService& s) { s.seed_pools(kPools); },
     [](BenchService& s) {
         s.plain()->ping();
         return plain_pool(s);
     }},
    {"lib-volumes", [](BenchService& s) { s.seed_volumes(); }, lib_volumes},
    {"plain-volumes", [](BenchService& s) { s.seed_volumes(); }, plain_volumes},
    {"floor-volumes", [](BenchService&) {}, floor_volumes},
};

const Case* find_case(const char* name) {
    for (const Case& c : kCases)
        if (std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const Case* c = argc == 3 ? find_case(argv[1]) : nullptr;
    const int calls = argc == 3 ? std::atoi(argv[2]) : 0;
    if (!c || calls <= 0) {
        std::fprintf(stderr, "usage: %s <case> <calls>; cases:", argv[0]);
        for (const Case& k : kCases) std::fprintf(stderr, " %s", k.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    BenchService service(120000);  // valgrind is slow; the bound must not cut a call short
    c->seed(service);
    for (int i = 0; i < kWarmup; ++i)
        if (!c->call(service)) return 1;
    int failed = 0;
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < calls; ++i) failed += c->call(service) ? 0 : 1;
    CALLGRIND_TOGGLE_COLLECT;
    std::printf("%s: %d calls, %d failed\n", c->name, calls, failed);
    return failed == 0 ? 0 : 1;
}
