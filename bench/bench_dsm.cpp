// Pool and volume reads through the library and through a plain omniORB
// client of DiskServiceMgr, against the bundled service, in one run.
//
//   build/bench/dsm_bench [--benchmark_repetitions=N]
#include "BenchService.h"
#include "PoolHelpers.h"

#include "dsm.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace dsmtest;
using dsmbench::kVolumes;
using dsmbench::pool_key;

namespace {

dsmbench::BenchService* g;

void seed_pools(int n) { g->seed_pools(n); }
void seed_volumes() { g->seed_volumes(); }

// ---- single pool details ----

void BM_Lib_GetDiskGroupInfo(benchmark::State& state) {
    seed_pools(static_cast<int>(state.range(0)));
    dsm_diskgroup_t g0 = pool_record("pool0");
    for (auto _ : state) {
        dsm_diskgroupinfo_t info = empty_info();
        if (dsm_get_diskgroupinfo(&g0, 1, &info) != DSM_OK) state.SkipWithError("lookup failed");
        benchmark::DoNotOptimize(info.diskgroup.name[0]);
        dsm_removeref_diskgroupinfo(&info);
    }
}

void BM_Plain_GetDiskGroupInfo(benchmark::State& state) {
    seed_pools(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        DS::DiskGroup_var key = pool_key("pool0");
        DS::DiskGroupInfo_var info = g->plain()->getDiskGroupInfo(key.in(), 1);
        benchmark::DoNotOptimize(info->name()[0]);
    }
}

// The library pings the service before every use; this is the plain client
// doing the same two round trips, which isolates the library's own cost.
void BM_PlainPing_GetDiskGroupInfo(benchmark::State& state) {
    seed_pools(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        g->plain()->ping();
        DS::DiskGroup_var key = pool_key("pool0");
        DS::DiskGroupInfo_var info = g->plain()->getDiskGroupInfo(key.in(), 1);
        benchmark::DoNotOptimize(info->name()[0]);
    }
}

// ---- every pool ----

void BM_Lib_GetDiskGroupInfoList(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    seed_pools(n);
    std::vector<dsm_diskgroupinfo_t> buf(n);
    dsm_storageserver_t none = server_record("");
    for (auto _ : state) {
        int avail = 0;
        if (dsm_get_diskgroupinfo_list(&none, 0, 0, 0, 1, buf.data(), n, &avail) != DSM_OK || avail != n)
            state.SkipWithError("list failed");
        dsm_removeref_diskgroupinfo_list(buf.data(), n);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Plain_GetDiskGroupInfoList(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    seed_pools(n);
    for (auto _ : state) {
        DS::StorageServerSeq none;
        DS::DiskGroupInfoSeq_var list = g->plain()->getDiskGroupInfoList(none, false, false, 1);
        if (static_cast<int>(list->length()) != n) state.SkipWithError("list failed");
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// ---- the volumes of one pool ----

void BM_Lib_GetDiskVolumeInfoList(benchmark::State& state) {
    seed_volumes();
    dsm_diskgroup_t big = pool_record("big");
    dsm_storageserver_t server = server_record("sts1");
    std::vector<dsm_diskvolumeinfo_t> buf(kVolumes);
    for (auto _ : state) {
        int avail = 0;
        if (dsm_get_diskvolumeinfo_list(&server, 0, &big, 1, buf.data(), kVolumes, &avail) != DSM_OK ||
            avail != kVolumes)
            state.SkipWithError("list failed");
        dsm_removeref_diskvolumeinfo_list(buf.data(), kVolumes);
    }
    state.SetItemsProcessed(state.iterations() * kVolumes);
}

// A caller that installs a logging function pays for composing every trace
// line; this one keeps only failures, as a daemon would.
void failures_only(int severity, const char* text, const char*, const char*, const char*, int) {
    if (severity >= DSM_SEV_ERROR) benchmark::DoNotOptimize(text[0]);
}

void BM_LibLogging_GetDiskVolumeInfoList(benchmark::State& state) {
    dsmlib_set_logger(failures_only, nullptr);
    BM_Lib_GetDiskVolumeInfoList(state);
    dsmlib_set_logger(nullptr, nullptr);
}

void BM_Plain_GetDiskVolumeInfoList(benchmark::State& state) {
    seed_volumes();
    for (auto _ : state) {
        DS::StorageServerSeq none;
        DS::DiskGroup_var key = pool_key("big");
        DS::DiskVolumeInfoSeq_var list = g->plain()->getDiskVolumeInfoList(none, key.in(), 1);
        if (list->length() != static_cast<CORBA::ULong>(kVolumes)) state.SkipWithError("list failed");
    }
    state.SetItemsProcessed(state.iterations() * kVolumes);
}

// What any conversion into the caller's records must spend at least: every
// record of the array cleared and its pool record copied, no service call.
void BM_Floor_ClearVolumeRecords(benchmark::State& state) {
    dsm_diskgroup_t big = pool_record("big");
    std::vector<dsm_diskvolumeinfo_t> buf(kVolumes);
    for (auto _ : state) {
        dsmbench::clear_volume_records(buf.data(), kVolumes, big);
        benchmark::DoNotOptimize(buf.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kVolumes);
}

long rss_kb() {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
    std::fclose(f);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Resident memory after 100,000 volume reads through the library, once warm.
void BM_Lib_VolumeReadsMemoryGrowth(benchmark::State& state) {
    seed_volumes();
    dsm_diskgroup_t big = pool_record("big");
    dsm_storageserver_t server = server_record("sts1");
    std::vector<dsm_diskvolumeinfo_t> buf(kVolumes);
    auto read_all = [&] {
        int avail = 0;
        dsm_get_diskvolumeinfo_list(&server, 0, &big, 1, buf.data(), kVolumes, &avail);
        dsm_removeref_diskvolumeinfo_list(buf.data(), kVolumes);
    };
    for (auto _ : state) {
        for (int i = 0; i < 3; ++i) read_all();  // warm the allocator
        const long before = rss_kb();
        for (int i = 0; i < 100000 / kVolumes; ++i) read_all();
        state.counters["rss_growth_kb"] = static_cast<double>(rss_kb() - before);
    }
}

}  // namespace

BENCHMARK(BM_Lib_GetDiskGroupInfo)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Plain_GetDiskGroupInfo)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainPing_GetDiskGroupInfo)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lib_GetDiskGroupInfoList)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Plain_GetDiskGroupInfoList)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lib_GetDiskVolumeInfoList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_GetDiskVolumeInfoList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibLogging_GetDiskVolumeInfoList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_ClearVolumeRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lib_VolumeReadsMemoryGrowth)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    {
        dsmbench::BenchService service;
        g = &service;
        benchmark::RunSpecifiedBenchmarks();
        g = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
