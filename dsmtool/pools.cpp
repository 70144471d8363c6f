// dsmtool pool: list, show, create, import, merge, update, state, delete and
// storage server membership of disk pools.
#include "families.h"
#include "records.h"

namespace dsmtool {

namespace {

const std::vector<std::string> kPoolColumns = {"name",    "server_type",    "state",     "volumes",
                                               "servers", "total_capacity", "used_space"};

struct PoolArgs {
    std::string name, second, type, master, media_server, label, reason, server, state;
    std::vector<std::string> servers;
    int32_t storage_type = 6;
    int option = 0;
    bool brief = false;
    bool unimport = false;
    bool refresh = false;
    bool force = false;
    Optional<int32_t> high, low, max_io;
    Optional<std::string> tag;
    Optional<int64_t> flags;
    Optional<uint64_t> flagsext;
};

dsm_diskgroup_t new_pool_key(const PoolArgs& a) {
    dsm_diskgroup_t g = pool_key(a.name);
    put(g.server_type, a.type);
    if (!a.master.empty()) put(g.master_server, a.master);
    put(g.access_media_server, a.media_server);
    return g;
}

Json label_pools(const PoolArgs& a) {
    Allocated<dsm_diskgroupinfo_t> pools(dsm_removeref_diskgroupinfo_list);
    const std::string master = a.master.empty() ? dsmlib_get_masterserver() : a.master;
    check(dsm_get_diskgroupinfo_list_by_storage_unit_label(master.c_str(), a.label.c_str(), a.type.c_str(), a.option,
                                                           &pools.items, &pools.count),
          "dsm_get_diskgroupinfo_list_by_storage_unit_label");
    Json rows = Json::array();
    for (int i = 0; i < pools.count; ++i) rows.push_back(pool_json(pools.items[i]));
    return rows;
}

Reply pool_list(const Tool& tool, const PoolArgs& a) {
    const Json all = a.label.empty() ? pools_of_servers(tool, a.servers, a.type) : label_pools(a);
    Json rows = Json::array();
    for (const Json& pool : all)
        if (a.type.empty() || pool["server_type"] == a.type) rows.push_back(a.brief ? pool["name"] : pool);
    if (a.brief) return {rows};
    return {rows, kPoolColumns};
}

Json compact_volume(const dsm_diskvolumeinfo_t& v) {
    return {{"name", v.name},
            {"state", volume_state_name(v.kdu_state)},
            {"total_capacity", v.total_capacity},
            {"free_space", v.free_space}};
}

Json compact_server(const dsm_storageserver_t& s) {
    return {{"name", s.name}, {"server_type", s.server_type}, {"storage_type", s.storage_type}};
}

// The held pool's members, read from its reference without a service call.
void add_members(const dsm_diskgroupinfo_t& info, Json& j) {
    List<dsm_diskvolumeinfo_t> volumes;
    volumes.fill("dsm_get_diskgroup_volumes", [&](dsm_diskvolumeinfo_t* b, int alloc, int* avail) {
        return dsm_get_diskgroup_volumes(&info, b, alloc, avail);
    });
    List<dsm_storageserver_t> servers;
    servers.fill("dsm_get_diskgroup_stservers", [&](dsm_storageserver_t* b, int alloc, int* avail) {
        return dsm_get_diskgroup_stservers(&info, b, alloc, avail);
    });
    List<NameCell> movers;
    movers.fill("dsm_get_diskgroup_datamovers", [&](NameCell* b, int alloc, int* avail) {
        return dsm_get_diskgroup_datamovers(&info, &b->text, alloc, avail);
    });
    List<dsm_disk_t> disks;
    disks.fill("dsm_get_diskgroup_disks",
               [&](dsm_disk_t* b, int alloc, int* avail) { return dsm_get_diskgroup_disks(&info, b, alloc, avail); });
    j["data_movers"] = json_list(movers.items, [](const NameCell& c) { return std::string(c.text); });
    j["volume_list"] = json_list(volumes.items, compact_volume);
    j["server_list"] = json_list(servers.items, compact_server);
    j["disk_list"] = json_list(disks.items, disk_json);
}

Json pool_details(const dsm_diskgroupinfo_t& info) {
    Json j = pool_json(info);
    j["flags"] = optional_value<int64_t>([&](int64_t* v) { return dsm_diskgroup_flags(&info, v); });
    j["flags_ext"] = optional_value<uint64_t>([&](uint64_t* v) { return dsm_diskgroup_flagsext(&info, v); });
    j["physical_capacity"] = optional_value<int64_t>([&](int64_t* v) { return dsm_diskgroup_physcapacity(&info, v); });
    j["physical_used"] = optional_value<int64_t>([&](int64_t* v) { return dsm_diskgroup_physused(&info, v); });
    j["max_io_streams"] = optional_value<int64_t>([&](int64_t* v) { return dsm_diskgroup_max_io_streams(&info, v); });
    add_members(info, j);
    return j;
}

// The pool as it is now, for the reply of a change.
Reply changed(const Tool& tool, const std::string& name, const std::string& what) {
    HeldPool pool;
    load_pool(tool, name, pool.rec);
    return {pool_details(pool.rec), {}, "Pool " + name + " " + what};
}

Reply pool_show(const Tool& tool, const PoolArgs& a) {
    HeldPool pool;
    load_pool(tool, a.name, pool.rec);
    return {pool_details(pool.rec)};
}

Reply pool_create(const Tool& tool, const PoolArgs& a) {
    const dsm_diskgroup_t g = new_pool_key(a);
    const Servers servers(a.servers, a.type, a.storage_type);
    const dsm_disk_t no_disk = cleared<dsm_disk_t>();
    dsm_diskgroupinfo_t out = cleared<dsm_diskgroupinfo_t>();
    check(dsm_create_diskgroup(&g, servers.data(), servers.count(), &no_disk, 0, tool.db_mode(), &out,
                               reason_or_null(a.reason)),
          "dsm_create_diskgroup");
    return changed(tool, a.name, "created");
}

Reply pool_import(const Tool& tool, const PoolArgs& a) {
    const dsm_diskgroup_t g = new_pool_key(a);
    const Servers servers(a.servers, a.type, a.storage_type);
    dsm_diskgroupinfo_t out = cleared<dsm_diskgroupinfo_t>();
    check(dsm_import_diskgroup(&g, servers.data(), servers.count(), &out), "dsm_import_diskgroup");
    return changed(tool, a.name, "imported");
}

Reply pool_merge(const Tool& tool, const PoolArgs& a) {
    HeldPool primary, secondary;
    load_pool(tool, a.name, primary.rec);
    load_pool(tool, a.second, secondary.rec);
    dsm_diskgroupinfo_t out = cleared<dsm_diskgroupinfo_t>();
    check(dsm_merge_diskgroups(&primary.rec.diskgroup, &secondary.rec.diskgroup, &out, reason_or_null(a.reason)),
          "dsm_merge_diskgroups");
    return changed(tool, a.name, "now holds " + a.second);
}

Reply pool_delete(const Tool& tool, const PoolArgs& a) {
    HeldPool pool;
    load_pool(tool, a.name, pool.rec);
    const int volumes = pool.rec.num_diskvolumes;
    if (volumes > 0 && !a.unimport && !a.force)
        throw UsageError("pool " + a.name + " still has " + std::to_string(volumes) +
                         (volumes == 1 ? " volume" : " volumes") + "; give --force to delete it with them");
    dsm_diskgroupinfo_t out = cleared<dsm_diskgroupinfo_t>();
    if (a.unimport)
        check(dsm_unimport_diskgroup(&pool.rec.diskgroup, &out), "dsm_unimport_diskgroup");
    else
        check(dsm_delete_diskgroup(&pool.rec.diskgroup, tool.db_mode(), &out, reason_or_null(a.reason)),
              "dsm_delete_diskgroup");
    return {pool_json(out), {}, "Pool " + a.name + (a.unimport ? " unimported" : " deleted")};
}

Reply pool_membership(const Tool& tool, const PoolArgs& a, bool add) {
    HeldPool pool;
    load_pool(tool, a.name, pool.rec);
    const dsm_storageserver_t server = server_key(a.server, pool.rec.diskgroup.server_type, a.storage_type);
    if (add)
        check(dsm_add_diskgroup_stserver(&pool.rec.diskgroup, &server, reason_or_null(a.reason)),
              "dsm_add_diskgroup_stserver");
    else
        check(dsm_remove_diskgroup_stserver(&pool.rec.diskgroup, &server, reason_or_null(a.reason)),
              "dsm_remove_diskgroup_stserver");
    return changed(tool, a.name, add ? "now uses " + a.server : "no longer uses " + a.server);
}

// Water marks and user tag travel in one request, selected by its mask.
void update_marks(const Tool& tool, const PoolArgs& a, const dsm_diskgroupinfo_t& current) {
    if (!a.high.given() && !a.low.given() && !a.tag.given()) return;
    dsm_diskgroupinfo_t in = cleared<dsm_diskgroupinfo_t>();
    in.diskgroup = current.diskgroup;
    in.high_watermark = a.high.value;
    in.low_watermark = a.low.value;
    put(in.user_tag, a.tag.value);
    const unsigned char mask[3] = {a.high.given(), a.low.given(), a.tag.given()};
    dsm_diskgroupinfo_t out = cleared<dsm_diskgroupinfo_t>();
    check(dsm_update_diskgroup(&in, mask, tool.db_mode(), &out, reason_or_null(a.reason)), "dsm_update_diskgroup");
}

Reply pool_update(const Tool& tool, const PoolArgs& a) {
    if (!a.high.given() && !a.low.given() && !a.tag.given() && !a.flags.given() && !a.flagsext.given() &&
        !a.max_io.given() && !a.refresh)
        throw UsageError("nothing to update; see --help");
    HeldPool pool;
    load_pool(tool, a.name, pool.rec);
    const dsm_diskgroup_t& g = pool.rec.diskgroup;
    const char* reason = reason_or_null(a.reason);
    update_marks(tool, a, pool.rec);
    if (a.flags.given())
        check(dsm_update_diskgroup_flags(&g, a.flags.value, tool.db_mode(), nullptr, reason),
              "dsm_update_diskgroup_flags");
    if (a.flagsext.given())
        check(dsm_update_diskgroup_flagsext(&g, a.flagsext.value, tool.db_mode(), nullptr, reason),
              "dsm_update_diskgroup_flagsext");
    if (a.max_io.given())
        check(dsm_update_diskgroup_max_io_streams(&g, a.max_io.value, tool.db_mode(), nullptr, reason),
              "dsm_update_diskgroup_max_io_streams");
    if (a.refresh)
        check(dsm_refresh_diskgroup_replication_props(&g, nullptr, reason), "dsm_refresh_diskgroup_replication_props");
    Reply r = changed(tool, a.name, "updated");
    if (a.flags.given()) expect_held("pool " + a.name + " flags", a.flags.value, r.data["flags"]);
    if (a.flagsext.given()) expect_held("pool " + a.name + " extended flags", a.flagsext.value, r.data["flags_ext"]);
    return r;
}

Reply pool_state(const Tool& tool, const PoolArgs& a) {
    HeldPool pool;
    load_pool(tool, a.name, pool.rec);
    dsm_diskgroupinfo_t out = cleared<dsm_diskgroupinfo_t>();
    check(dsm_update_diskgroup_state(&pool.rec.diskgroup, up_down(a.state), tool.db_mode(), &out,
                                     reason_or_null(a.reason)),
          "dsm_update_diskgroup_state");
    Reply r = changed(tool, a.name, "is ");
    expect_held("pool " + a.name + " state", a.state, r.data["state"]);
    r.message += r.data["state"].get<std::string>();
    return r;
}

void add_pool_name(CLI::App* cmd, PoolArgs& a) { add_text(cmd, "NAME", a.name, "pool name", kPoolName)->required(); }

void add_storage_type(CLI::App* cmd, PoolArgs& a, const std::string& help) {
    add_integer(cmd, "--storage-type", a.storage_type, help)->capture_default_str();
}

void add_new_pool_options(CLI::App* cmd, PoolArgs& a) {
    add_pool_name(cmd, a);
    add_text(cmd, "--type", a.type, "server type, e.g. AdvancedDisk", kServerType)->required();
    add_repeated(cmd, "--server", a.servers, "storage server of the pool (repeat for more)", kServerName)->required();
    add_storage_type(cmd, a, "storage type of those servers");
    add_text(cmd, "--master", a.master, "master server (default: the configured one)", kMasterServer);
    add_text(cmd, "--media-server", a.media_server, "access media server", kMediaServer);
}

}  // namespace

Json pools_of_servers(const Tool& tool, const std::vector<std::string>& names, const std::string& type) {
    const Servers servers(names, type);
    List<dsm_diskgroupinfo_t> pools(dsm_removeref_diskgroupinfo_list);
    pools.fill("dsm_get_diskgroupinfo_list", [&](dsm_diskgroupinfo_t* b, int alloc, int* avail) {
        return dsm_get_diskgroupinfo_list(servers.data(), servers.count(), 0, 0, tool.db_mode(), b, alloc, avail);
    });
    return json_list(pools.items, pool_json);
}

void load_pool(const Tool& tool, const std::string& name, dsm_diskgroupinfo_t& info) {
    const dsm_diskgroup_t g = pool_key(name);
    check(dsm_get_diskgroupinfo(&g, tool.db_mode(), &info), "dsm_get_diskgroupinfo");
}

void add_pool_commands(CLI::App& app, Tool& tool) {
    auto a = std::make_shared<PoolArgs>();
    const Tool* t = &tool;
    CLI::App* pool = tool.family(app, "pool", "disk pools (disk groups)");

    CLI::App* list = tool.command(*pool, "list", "list the pools", Needs::Service, [=] { return pool_list(*t, *a); });
    add_repeated(list, "--server", a->servers, "only pools of this storage server (repeat for more)", kServerName);
    add_text(list, "--label", a->label, "the pools behind this storage unit label", kLabel);
    add_text(list, "--type", a->type, "only pools of this server type", kServerType);
    add_integer(list, "--option", a->option, "query option sent with --label")->capture_default_str();
    add_text(list, "--master", a->master, "master server sent with --label", kMasterServer);
    list->add_flag("--brief", a->brief, "names only, one per line");

    CLI::App* show = tool.command(*pool, "show", "show a pool with its volumes, servers and disks", Needs::Service,
                                  [=] { return pool_show(*t, *a); });
    add_pool_name(show, *a);

    CLI::App* create = tool.command(*pool, "create", "create a pool on storage servers", Needs::Service,
                                    [=] { return pool_create(*t, *a); });
    add_new_pool_options(create, *a);
    add_reason(create, a->reason);

    CLI::App* import = tool.command(*pool, "import", "import a pool through storage servers", Needs::Service,
                                    [=] { return pool_import(*t, *a); });
    add_new_pool_options(import, *a);

    CLI::App* merge = tool.command(*pool, "merge", "merge the second pool into the first", Needs::Service,
                                   [=] { return pool_merge(*t, *a); });
    add_text(merge, "PRIMARY", a->name, "pool that stays", kPoolName)->required();
    add_text(merge, "SECONDARY", a->second, "pool merged into it", kPoolName)->required();
    add_reason(merge, a->reason);

    CLI::App* update = tool.command(*pool, "update", "change water marks, user tag, flags or I/O streams",
                                    Needs::Service, [=] { return pool_update(*t, *a); });
    add_pool_name(update, *a);
    add_optional(update, "--high", a->high, "high water mark (percent, 0 to 100)", 0, 100);
    add_optional(update, "--low", a->low, "low water mark (percent, 0 to 100)", 0, 100);
    add_optional_text(update, "--tag", a->tag, "user tag", kUserTag);
    add_optional(update, "--flags", a->flags, "pool flags (signed 64-bit)");
    add_optional(update, "--flags-ext", a->flagsext, "extended pool flags (unsigned 64-bit)");
    add_optional(update, "--max-io-streams", a->max_io, "largest number of I/O streams (signed 32-bit)");
    update->add_flag("--refresh-replication", a->refresh, "ask the service to refresh replication properties");
    add_reason(update, a->reason);

    CLI::App* state =
        tool.command(*pool, "state", "set a pool up or down", Needs::Service, [=] { return pool_state(*t, *a); });
    add_pool_name(state, *a);
    state->add_option("STATE", a->state, "up or down")->required()->check(up_down_check());
    add_reason(state, a->reason);

    CLI::App* del = tool.command(*pool, "delete", "delete a pool", Needs::Service, [=] { return pool_delete(*t, *a); });
    add_pool_name(del, *a);
    del->add_flag("--unimport", a->unimport, "unimport instead (database mode 1, no reason)");
    del->add_flag("--force", a->force, "delete it even though it still has volumes");
    add_reason(del, a->reason);

    for (bool add : {true, false}) {
        CLI::App* member = tool.command(*pool, add ? "add-server" : "remove-server",
                                        add ? "add a storage server to a pool" : "remove a storage server from a pool",
                                        Needs::Service, [=] { return pool_membership(*t, *a, add); });
        add_pool_name(member, *a);
        add_text(member, "SERVER", a->server, "storage server name", kServerName)->required();
        add_storage_type(member, *a, "storage type of the server");
        add_reason(member, a->reason);
    }
}

}  // namespace dsmtool
