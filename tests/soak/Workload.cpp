#include "Workload.h"

#include "Orb.h"
#include "PoolHelpers.h"

#include "dsmlib_internal.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <sstream>
#include <thread>

namespace dsmtest {

namespace {

// The service's status for an object it does not know.
constexpr int kNotFound = 2050010;

// The mix: each step's name, the status it must end with, and what it does.
const struct Step {
    const char* name;
    int expected;
    void (*run)(const Workload& w, Outcome& step);
} kMix[Workload::kSteps] = {
    {"pool details", DSM_OK, [](const Workload& w, Outcome& step) {
        const dsm_diskgroup_t key = pool_record(w.pool);
        dsm_diskgroupinfo_t info = empty_info();
        if (step.call(dsm_get_diskgroupinfo(&key, 1, &info))) {
            step.expect(w.tag == info.user_tag);
            std::int64_t flags = -1;
            if (step.call(dsm_diskgroup_flags(&info, &flags))) step.expect(flags == w.worker);
            dsm_diskvolumeinfo_t volumes[2];
            int avail = 0;
            if (step.call(dsm_get_diskgroup_volumes(&info, volumes, 2, &avail)))
                step.expect(avail == 1 && w.volume == volumes[0].name);
        }
        step.call(dsm_removeref_diskgroupinfo(&info));
    }},
    // The form that holds a reference.
    {"volume details", DSM_OK, [](const Workload& w, Outcome& step) {
        const dsm_diskvolume_t key = volume_record(w.volume, pool_record(w.pool));
        dsm_diskvolumeinfo_t info{};
        if (step.call(dsm_get_diskvolumeinfoEX(&key, 1, &info))) {
            step.expect(w.volume == info.name && w.pool == info.diskgroup.name);
            std::uint64_t flags = 0;
            if (step.call(dsm_diskvolume_flags(&info, &flags))) step.expect(flags == 1000u + w.worker);
        }
        step.call(dsm_removeref_diskvolumeinfo(&info));
    }},
    {"server details", DSM_OK, [](const Workload& w, Outcome& step) {
        const dsm_storageserver_t key = server_record(w.server);
        dsm_storageserverinfo_t info{};
        if (step.call(dsm_get_storageserverinfo(&key, 1, &info))) {
            step.expect(w.server == info.stserver.name && info.property_flags == w.worker);
            std::uint64_t flags = 0;
            if (step.call(dsm_storageserver_flags(&info, &flags)))
                step.expect(flags == static_cast<std::uint64_t>(w.worker));
        }
        step.call(dsm_removeref_storageserver(&info));
    }},
    {"pool list", DSM_OK, [](const Workload& w, Outcome& step) {
        const dsm_storageserver_t none = server_record("");
        std::vector<dsm_diskgroupinfo_t> pools(static_cast<std::size_t>(w.pools));
        int avail = 0;
        if (step.call(dsm_get_diskgroupinfo_list(&none, 0, 0, 0, 1, pools.data(), w.pools, &avail))) {
            const auto mine = std::find_if(pools.begin(), pools.end(), [&](const dsm_diskgroupinfo_t& p) {
                return w.pool == p.diskgroup.name;
            });
            step.expect(avail == w.pools && mine != pools.end() && w.tag == mine->user_tag);
        }
        step.call(dsm_removeref_diskgroupinfo_list(pools.data(), std::min(avail, w.pools)));
    }},
    {"missing pool", kNotFound, [](const Workload& w, Outcome& step) {
        const dsm_diskgroup_t key = pool_record(w.pool + "-missing");
        dsm_diskgroupinfo_t info = empty_info();
        step.call(dsm_get_diskgroupinfo(&key, 1, &info));
        step.expect(info.object_ref == nullptr);
    }},
    {"storage units", DSM_OK, [](const Workload& w, Outcome& step) {
        dsm_ELP_lsu_t* lsus = nullptr;
        int count = 0;
        const int status =
            dsm_get_ELP_LSU_list_by_storage_unit_label("127.0.0.1", w.label.c_str(), "", 0, &lsus, &count);
        if (step.call(status))
            step.expect(count == 1 && lsus && w.volume == lsus[0].lsu_name &&
                        w.pool == lsus[0].diskgroup_name);
        std::free(lsus);
    }},
    // The first write after a (re)start finds nothing, every later one its own value.
    {"global attribute", DSM_OK, [](const Workload& w, Outcome& step) {
        char old[64];
        const std::string name = "soak.attribute." + std::to_string(w.worker);
        if (step.call(dsm_set_global_attribute(name.c_str(), w.tag.c_str(), old, sizeof old)))
            step.expect(old[0] == '\0' || w.tag == old);
    }},
};

}  // namespace

Workload::Workload(int worker, int pools)
    : worker(worker), pools(pools), pool("pool" + std::to_string(worker)),
      volume("vol" + std::to_string(worker)), server("sts" + std::to_string(worker)),
      label("label" + std::to_string(worker)), tag("tag" + std::to_string(worker)) {}

void Workload::seed(DsmControl::Control_ptr control) const {
    DS::DiskGroupInfo_var info = pool_value(pool, {{"DSM::flags", std::to_string(worker)},
                                                   {"DSM::userTag", tag},
                                                   {"DSM::storageUnitLabel", label}});
    info->volumes().length(1);
    auto* vol = new OBV_DS::DiskVolume;
    vol->name(volume.c_str());
    vol->objId(("vid-" + volume).c_str());
    add_property(vol->properties(), "DSM::diskGroupName", pool);
    add_property(vol->properties(), "DSM::flags", std::to_string(1000 + worker));
    info->volumes()[0] = vol;
    dsmtest::seed(control, info.in());

    auto* host = new OBV_DS::StorageServer;
    host->name(server.c_str());
    host->objId(("sid-" + server).c_str());
    host->servertype("AdvancedDisk");
    add_property(host->properties(), "DSM::flags", std::to_string(worker));
    DS::StorageServerInfo_var sts = new OBV_DS::StorageServerInfo;
    sts->host(adopt(host));
    sts->name(server.c_str());
    dsmtest::seed(control, sts.in());
}

Outcome Workload::run(std::size_t n) const {
    const Step& step = kMix[n % kSteps];
    Outcome o(step.name, step.expected);
    const auto begin = std::chrono::steady_clock::now();
    step.run(*this, o);
    o.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
    return o;
}

// The control object of a restarted service may first meet the old, broken
// connection: a few attempts.
void reseed(ServiceProcess& service, int workers) {
    for (int attempt = 0;; ++attempt) {
        try {
            DsmControl::Control_var control = service.control(dsmlibp_get_orb(nullptr)->orb());
            control->reset();
            for (int i = 0; i < workers; ++i) Workload(i, workers).seed(control.in());
            return;
        } catch (const CORBA::SystemException&) {
            if (attempt == 4) throw;
        }
    }
}

void Report::add(const std::string& who, const Outcome& o, bool clean, bool first) {
    auto note = [&](const std::string& what) {
        if (failures.size() < 10) failures.push_back(who + what);
    };
    ++steps;
    calls += o.calls;
    longest = std::max(longest, o.took);
    clean_steps += clean;
    first_after_restart += first;
    if (o.took > call_bound * std::max(o.calls, 1)) {
        ++overruns;
        note(": " + std::string(o.step) + " took " + std::to_string(o.took.count()) + " ms");
    }
    // A disturbed step may also meet no connection, a broken call or an object not seeded again yet.
    const bool excused = !clean && (o.status == o.expected || o.status == DSM_E_NO_CONNECTION ||
                                    o.status == DSM_E_CORBA || o.status == kNotFound);
    if (!o.ok() && !excused) {
        ++unexpected;
        note((clean ? (first ? ", first step after a recovery: " : ": ") : ", disturbed: ") + o.describe());
    }
}

std::string Report::summary() const {
    std::ostringstream out;
    out << steps << " steps (" << calls << " calls), " << restarts << " restarts, " << stalls << " stalls; "
        << clean_steps << " undisturbed steps, " << first_after_restart
        << " of them a worker's first after a recovery; " << unexpected << " unexpected, " << overruns
        << " over their bound; longest step " << longest.count() << " ms";
    for (const std::string& f : failures) out << "\n  " << f;
    return out.str();
}

Report outage(ServiceProcess& service, int workers, int call_timeout_ms, const std::vector<Disturbance>& plan,
              int quiet_after_ms) {
    std::atomic<bool> stop{false};
    std::atomic<long> generation{0};  // odd while the service is disturbed
    std::mutex mutex;                 // guards report
    Report report(call_timeout_ms);
    reseed(service, workers);
    std::vector<std::thread> threads;
    for (int id = 0; id < workers; ++id) {
        threads.emplace_back([&, id] {
            const Workload work(id, workers);
            long recovered_at = -1;  // the recovery whose first step this worker has made
            for (std::size_t n = 0; !stop; ++n) {
                const long began = generation;
                const Outcome o = work.run(n);
                const bool clean = began % 2 == 0 && began == generation;
                const bool first = clean && began != recovered_at;
                if (clean) recovered_at = began;
                std::lock_guard<std::mutex> lock(mutex);
                report.add("worker " + std::to_string(id), o, clean, first);
            }
        });
    }
    std::exception_ptr failed;  // the workers stop and are joined first
    try {
        for (const Disturbance& d : plan) {
            std::this_thread::sleep_for(std::chrono::milliseconds(d.quiet_before_ms));
            ++generation;
            if (d.kind == Disturbance::kKill) {
                service.kill();
                std::this_thread::sleep_for(std::chrono::milliseconds(d.span_ms));
                service.start(service.port());
                reseed(service, workers);
            } else {
                ::kill(service.pid(), SIGSTOP);
                std::this_thread::sleep_for(std::chrono::milliseconds(d.span_ms));
                ::kill(service.pid(), SIGCONT);
            }
            ++generation;
            std::lock_guard<std::mutex> lock(mutex);
            ++(d.kind == Disturbance::kKill ? report.restarts : report.stalls);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(quiet_after_ms));
    } catch (...) {
        failed = std::current_exception();
    }
    stop = true;
    for (std::thread& t : threads) t.join();
    if (failed) std::rethrow_exception(failed);
    return report;
}

}  // namespace dsmtest
