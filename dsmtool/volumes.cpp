// dsmtool vol: list, show, find, create, clone, update, state, flags,
// replication and delete of disk volumes.
#include "families.h"
#include "records.h"

#include <limits>

namespace dsmtool {

namespace {

struct VolumeArgs {
    std::string pool, name, target, config, reason, state, media_id, server, volume_id, type, master;
    std::vector<std::string> sources, targets;
    bool internal = false;
    bool legacy = false;
    Optional<int64_t> flags;
    Optional<long long> total, free, potential_free, committed, precommitted;
};

// Volume flags are sent signed and read back unsigned: only what reads back
// the same is taken.
constexpr int64_t kMaxVolumeFlags = std::numeric_limits<int64_t>::max();

using RepGetter = int (*)(const dsm_diskvolumeinfo_t*, unsigned int, char*, int);

// A volume record naming 'name' in the pool as the service knows the pool.
template <class Record>
void name_volume(Record& rec, const dsm_diskgroupinfo_t& pool, const std::string& name) {
    put(rec.name, name);
    rec.diskgroup = pool.diskgroup;
}

dsm_diskvolume_t volume_key(const dsm_diskgroupinfo_t& pool, const std::string& name) {
    dsm_diskvolume_t v = cleared<dsm_diskvolume_t>();
    name_volume(v, pool, name);
    return v;
}

// The volume's details, holding its reference.
void load_volume(const Tool& tool, const dsm_diskgroupinfo_t& pool, const std::string& name,
                 dsm_diskvolumeinfo_t& info) {
    const dsm_diskvolume_t key = volume_key(pool, name);
    check(dsm_get_diskvolumeinfoEX(&key, tool.db_mode(), &info), "dsm_get_diskvolumeinfoEX");
}

// Every replication source or target of the held volume, in service order.
Json replication_specs(const dsm_diskvolumeinfo_t& v, RepGetter get, const char* call) {
    Json out = Json::array();
    char name[kReplicationBuffer];
    for (unsigned int i = 0;; ++i) {
        const int status = get(&v, i, name, static_cast<int>(sizeof name));
        if (status == DSM_E_NO_REPLICATION) return out;
        check(status, call);
        out.push_back(std::string(name));
    }
}

void add_replication(const dsm_diskvolumeinfo_t& v, Json& j) {
    j["replication_sources"] = replication_specs(v, dsm_get_diskvolume_repsource, "dsm_get_diskvolume_repsource");
    j["replication_targets"] = replication_specs(v, dsm_get_diskvolume_reptarget, "dsm_get_diskvolume_reptarget");
}

Json volume_details(const dsm_diskvolumeinfo_t& v) {
    Json j = volume_json(v);
    using Payload = int (*)(const dsm_diskvolumeinfo_t*, uint64_t*);
    const std::pair<const char*, Payload> payloads[] = {
        {"flags", dsm_diskvolume_flags},
        {"physical_capacity", dsm_diskvolume_physcapacity},
        {"free_physical_space", dsm_diskvolume_freephys},
        {"active_read_streams", dsm_diskvolume_num_active_read_streams},
        {"active_write_streams", dsm_diskvolume_num_active_write_streams},
    };
    for (const auto& [key, read] : payloads)
        j[key] = optional_value<uint64_t>([&](uint64_t* out) { return read(&v, out); });
    add_replication(v, j);
    return j;
}

// The volume as it is now, for the reply of a change.
Reply changed(const Tool& tool, const dsm_diskgroupinfo_t& pool, const std::string& name, const std::string& what) {
    HeldVolume v;
    load_volume(tool, pool, name, v.rec);
    return {volume_json(v.rec), {}, "Volume " + name + " " + what};
}

Reply vol_list(const Tool& tool, const VolumeArgs& a) {
    HeldPool pool;
    load_pool(tool, a.pool, pool.rec);
    const Servers none({}, "");
    List<dsm_diskvolumeinfo_t> volumes(dsm_removeref_diskvolumeinfo_list);
    volumes.fill("dsm_get_diskvolumeinfo_list", [&](dsm_diskvolumeinfo_t* b, int alloc, int* avail) {
        return dsm_get_diskvolumeinfo_list(none.data(), none.count(), &pool.rec.diskgroup, tool.db_mode(), b, alloc,
                                           avail);
    });
    return {json_list(volumes.items, volume_json), {"name", "state", "total_capacity", "free_space", "media_id"}};
}

Reply vol_show(const Tool& tool, const VolumeArgs& a) {
    HeldPool pool;
    load_pool(tool, a.pool, pool.rec);
    HeldVolume v;
    load_volume(tool, pool.rec, a.name, v.rec);
    return {volume_details(v.rec)};
}

Reply vol_find(const Tool& tool, const VolumeArgs& a) {
    (void)tool;
    dsm_diskvolumeinfo_t v = cleared<dsm_diskvolumeinfo_t>();
    uint64_t flags = 0;
    if (!a.media_id.empty()) {
        check(dsm_get_diskvolumeinfo_and_flags_by_mediaid(a.media_id.c_str(), &v, &flags),
              "dsm_get_diskvolumeinfo_and_flags_by_mediaid");
        Json j = volume_json(v);
        j["flags"] = flags;
        return {j};
    }
    if (a.server.empty() || a.volume_id.empty()) throw UsageError("give --media-id, or --server with --volume-id");
    const dsm_storageserver_t server = server_key(a.server, a.type);
    const std::string master = a.master.empty() ? dsmlib_get_masterserver() : a.master;
    if (a.legacy)
        check(dsm_get_diskvolumeinfo_by_volumeid(master.c_str(), &server, a.volume_id.c_str(), &v),
              "dsm_get_diskvolumeinfo_by_volumeid");
    else
        check(dsm_get_diskvolumeinfo_by_name(master.c_str(), &server, a.volume_id.c_str(), &v),
              "dsm_get_diskvolumeinfo_by_name");
    return {volume_json(v)};
}

// Flags and replication specifications are edits of a held value that the
// service receives with the next create from it.
void edit_held(dsm_diskvolumeinfo_t& rec, const VolumeArgs& a) {
    for (const std::string& s : a.sources)
        check(dsm_set_diskvolume_repsource(&rec, s.c_str()), "dsm_set_diskvolume_repsource");
    for (const std::string& t : a.targets)
        check(dsm_set_diskvolume_reptarget(&rec, t.c_str()), "dsm_set_diskvolume_reptarget");
}

void create_from_info(const Tool& tool, const dsm_diskvolumeinfo_t& in, const std::string& reason) {
    const dsm_disk_t disk = cleared<dsm_disk_t>();
    dsm_diskvolumeinfo_t out = cleared<dsm_diskvolumeinfo_t>();
    check(dsm_create_diskvolume_from_diskvolumeinfo(&in, &disk, 1, tool.db_mode(), &out, reason_or_null(reason)),
          "dsm_create_diskvolume_from_diskvolumeinfo");
}

Reply vol_create(const Tool& tool, const VolumeArgs& a) {
    HeldPool pool;
    load_pool(tool, a.pool, pool.rec);
    if (!a.flags.given() && a.sources.empty() && a.targets.empty() && a.reason.empty()) {
        const dsm_diskvolume_t key = volume_key(pool.rec, a.name);
        dsm_disk_t disk = cleared<dsm_disk_t>();
        put(disk.volume_config, a.config);
        dsm_diskvolumeinfo_t out = cleared<dsm_diskvolumeinfo_t>();
        check(dsm_create_diskvolume(&key, &disk, 1, tool.db_mode(), &out), "dsm_create_diskvolume");
        return changed(tool, pool.rec, a.name, "created in " + a.pool);
    }
    HeldVolume rec;
    name_volume(rec.rec, pool.rec, a.name);
    rec.rec.kdu_state = DSM_DV_STATE_UP;
    // The first flags edit makes the held value the other edits need.
    check(dsm_set_diskvolume_flags(&rec.rec, a.flags.value), "dsm_set_diskvolume_flags");
    edit_held(rec.rec, a);
    create_from_info(tool, rec.rec, a.reason);
    return changed(tool, pool.rec, a.name, "created in " + a.pool);
}

Reply vol_clone(const Tool& tool, const VolumeArgs& a) {
    HeldPool pool;
    load_pool(tool, a.pool, pool.rec);
    HeldVolume source;
    load_volume(tool, pool.rec, a.name, source.rec);
    edit_held(source.rec, a);
    // A copy shares the held value without counting it: 'source' releases it.
    dsm_diskvolumeinfo_t copy = source.rec;
    put(copy.name, a.target);
    copy.id[0] = '\0';
    copy.disk_media_id[0] = '\0';
    create_from_info(tool, copy, a.reason);
    return changed(tool, pool.rec, a.target, "cloned from " + a.name);
}

Reply vol_update(const Tool& tool, const VolumeArgs& a) {
    const Optional<long long>* fields[] = {&a.total, &a.free, &a.potential_free, &a.committed, &a.precommitted};
    unsigned char mask[6] = {0, 0, 0, 0, 0, 0};
    bool any = false;
    for (size_t i = 0; i < 5; ++i) any |= (mask[i] = fields[i]->given()) != 0;
    if (!any) throw UsageError("nothing to update; see --help");
    HeldPool pool;
    load_pool(tool, a.pool, pool.rec);
    dsm_diskvolumeinfo_t in = cleared<dsm_diskvolumeinfo_t>();
    name_volume(in, pool.rec, a.name);
    in.total_capacity = a.total.value;
    in.free_space = a.free.value;
    in.potential_free_space = a.potential_free.value;
    in.committed_space = a.committed.value;
    in.precommitted_space = a.precommitted.value;
    dsm_diskvolumeinfo_t out = cleared<dsm_diskvolumeinfo_t>();
    check(dsm_update_diskvolume(&in, mask, tool.db_mode(), &out), "dsm_update_diskvolume");
    return changed(tool, pool.rec, a.name, "updated");
}

Reply vol_state(const Tool& tool, const VolumeArgs& a) {
    HeldPool pool;
    load_pool(tool, a.pool, pool.rec);
    const dsm_diskvolume_t key = volume_key(pool.rec, a.name);
    dsm_diskvolumeinfo_t out = cleared<dsm_diskvolumeinfo_t>();
    const int state = up_down(a.state);
    if (a.internal)
        check(dsm_update_diskvolume_internal_state(&key, static_cast<unsigned int>(state), tool.db_mode(), &out,
                                                   reason_or_null(a.reason)),
              "dsm_update_diskvolume_internal_state");
    else
        check(dsm_update_diskvolume_state(&key, state, tool.db_mode(), &out, reason_or_null(a.reason)),
              "dsm_update_diskvolume_state");
    Reply r = changed(tool, pool.rec, a.name, "is ");
    expect_held("volume " + a.name + " state", a.state, r.data["state"]);
    r.message += r.data["state"].get<std::string>() + (a.internal ? " (internal state)" : "");
    return r;
}

Reply vol_flags(const Tool& tool, const VolumeArgs& a) {
    HeldPool pool;
    load_pool(tool, a.pool, pool.rec);
    if (a.flags.given()) {
        // A record without a reference gets a new held value whose only flags
        // are these; the update sends them.
        HeldVolume edit;
        name_volume(edit.rec, pool.rec, a.name);
        check(dsm_set_diskvolume_flags(&edit.rec, a.flags.value), "dsm_set_diskvolume_flags");
        const unsigned char only_flags[6] = {0, 0, 0, 0, 0, 1};
        dsm_diskvolumeinfo_t out = cleared<dsm_diskvolumeinfo_t>();
        check(dsm_update_diskvolume(&edit.rec, only_flags, tool.db_mode(), &out), "dsm_update_diskvolume");
    }
    HeldVolume v;
    load_volume(tool, pool.rec, a.name, v.rec);
    const Json flags = optional_value<uint64_t>([&](uint64_t* out) { return dsm_diskvolume_flags(&v.rec, out); });
    Json j = {{"pool", a.pool}, {"name", a.name}, {"flags", flags}};
    if (!a.flags.given()) return {j};
    expect_held("volume " + a.name + " flags", a.flags.value, flags);
    return {j, {}, "Volume " + a.name + " flags set to " + flags.dump()};
}

Reply vol_replication(const Tool& tool, const VolumeArgs& a) {
    HeldPool pool;
    load_pool(tool, a.pool, pool.rec);
    HeldVolume v;
    load_volume(tool, pool.rec, a.name, v.rec);
    Json j = {{"pool", a.pool}, {"name", a.name}};
    add_replication(v.rec, j);
    return {j};
}

Reply vol_delete(const Tool& tool, const VolumeArgs& a) {
    HeldPool pool;
    load_pool(tool, a.pool, pool.rec);
    const dsm_diskvolume_t key = volume_key(pool.rec, a.name);
    dsm_diskvolumeinfo_t out = cleared<dsm_diskvolumeinfo_t>();
    check(dsm_delete_diskvolume(&key, tool.db_mode(), &out, reason_or_null(a.reason)), "dsm_delete_diskvolume");
    return {volume_json(out), {}, "Volume " + a.name + " deleted from " + a.pool};
}

void add_pool(CLI::App* cmd, VolumeArgs& a) { add_text(cmd, "POOL", a.pool, "pool name", kPoolName)->required(); }

void add_pool_and_name(CLI::App* cmd, VolumeArgs& a) {
    add_pool(cmd, a);
    add_text(cmd, "NAME", a.name, "volume name", kVolumeName)->required();
}

void add_replication_edits(CLI::App* cmd, VolumeArgs& a) {
    add_repeated(cmd, "--rep-source", a.sources, "replication source to record (repeat for more)", kReplication);
    add_repeated(cmd, "--rep-target", a.targets, "replication target to record (repeat for more)", kReplication);
    add_reason(cmd, a.reason);
}

void add_flags(CLI::App* cmd, VolumeArgs& a, const std::string& name, const std::string& help) {
    add_optional<int64_t>(cmd, name, a.flags, help + " (0 to " + std::to_string(kMaxVolumeFlags) + ")", 0,
                          kMaxVolumeFlags);
}

}  // namespace

void add_volume_commands(CLI::App& app, Tool& tool) {
    auto a = std::make_shared<VolumeArgs>();
    const Tool* t = &tool;
    CLI::App* vol = tool.family(app, "vol", "disk volumes of a pool");

    CLI::App* list =
        tool.command(*vol, "list", "list the volumes of a pool", Needs::Service, [=] { return vol_list(*t, *a); });
    add_pool(list, *a);

    CLI::App* show = tool.command(*vol, "show", "show a volume with its flags, streams and replication", Needs::Service,
                                  [=] { return vol_show(*t, *a); });
    add_pool_and_name(show, *a);

    CLI::App* find = tool.command(*vol, "find", "find a volume by media id, or by its id on a storage server",
                                  Needs::Service, [=] { return vol_find(*t, *a); });
    CLI::Option* media = add_text(find, "--media-id", a->media_id, "disk media id", kMediaId);
    add_text(find, "--server", a->server, "storage server", kServerName)->excludes(media);
    add_text(find, "--volume-id", a->volume_id, "volume id (or name) on that server", kVolumeId)->excludes(media);
    add_text(find, "--type", a->type, "server type of that server", kServerType);
    add_text(find, "--master", a->master, "master server (default: the configured one)", kMasterServer);
    find->add_flag("--legacy", a->legacy, "look up by the legacy identity (server and volume id)");

    CLI::App* create =
        tool.command(*vol, "create", "create a volume in a pool", Needs::Service, [=] { return vol_create(*t, *a); });
    add_pool_and_name(create, *a);
    CLI::Option* config = add_text(create, "--config", a->config, "volume configuration (layout) text", kVolumeConfig);
    add_flags(create, *a, "--flags", "volume flags (0 when only --rep-* or --reason is given)");
    a->flags.option->excludes(config);
    add_replication_edits(create, *a);
    for (const char* name : {"--rep-source", "--rep-target", "--reason"}) create->get_option(name)->excludes(config);

    CLI::App* clone = tool.command(*vol, "clone", "create a volume from another, with its flags and replication",
                                   Needs::Service, [=] { return vol_clone(*t, *a); });
    add_pool_and_name(clone, *a);
    add_text(clone, "NEW", a->target, "name of the new volume", kVolumeName)->required();
    add_replication_edits(clone, *a);

    CLI::App* update = tool.command(*vol, "update", "change a volume's capacity and space figures", Needs::Service,
                                    [=] { return vol_update(*t, *a); });
    add_pool_and_name(update, *a);
    add_optional_size(update, "--total", a->total, "total capacity");
    add_optional_size(update, "--free", a->free, "free space");
    add_optional_size(update, "--potential-free", a->potential_free, "potential free space");
    add_optional_size(update, "--committed", a->committed, "committed space");
    add_optional_size(update, "--precommitted", a->precommitted, "precommitted space");

    CLI::App* state =
        tool.command(*vol, "state", "set a volume up or down", Needs::Service, [=] { return vol_state(*t, *a); });
    add_pool_and_name(state, *a);
    state->add_option("STATE", a->state, "up or down")->required()->check(up_down_check());
    state->add_flag("--internal", a->internal, "set the internal state (resets committed space first)");
    add_reason(state, a->reason);

    CLI::App* flags =
        tool.command(*vol, "flags", "show or set a volume's flags", Needs::Service, [=] { return vol_flags(*t, *a); });
    add_pool_and_name(flags, *a);
    add_flags(flags, *a, "--set", "new flags");

    CLI::App* rep = tool.command(*vol, "replication", "list a volume's replication sources and targets", Needs::Service,
                                 [=] { return vol_replication(*t, *a); });
    add_pool_and_name(rep, *a);

    CLI::App* del = tool.command(*vol, "delete", "delete a volume", Needs::Service, [=] { return vol_delete(*t, *a); });
    add_pool_and_name(del, *a);
    add_reason(del, a->reason);
}

}  // namespace dsmtool
