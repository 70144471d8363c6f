// dsmtool mount: the mount points of a pool's volumes.
#include "families.h"
#include "records.h"

namespace dsmtool {

namespace {

// The volume name and flags of a mount point that carries them.
Json mount_row(const dsm_mountpoint_t& m) {
    Json j = mount_point_json(m);
    char volume[4096];
    j["volume"] =
        dsm_mountpoint_dvname(&m, volume, static_cast<int>(sizeof volume)) == DSM_OK ? Json(volume) : Json(nullptr);
    j["flags"] = optional_value<uint64_t>([&](uint64_t* v) { return dsm_mountpoint_flags(&m, v); });
    return j;
}

Reply mount_list(const Tool& tool, const std::string& pool_name) {
    HeldPool pool;
    load_pool(tool, pool_name, pool.rec);
    List<dsm_mountpoint_t> mounts(dsm_removeref_mountpoint_list);
    mounts.fill("dsm_get_diskgroup_mountpoints", [&](dsm_mountpoint_t* b, int alloc, int* avail) {
        return dsm_get_diskgroup_mountpoints(&pool.rec, b, alloc, avail);
    });
    return {json_list(mounts.items, mount_row), {"path", "machine", "state", "volume", "flags"}};
}

}  // namespace

void add_mount_commands(CLI::App& app, Tool& tool) {
    auto pool = std::make_shared<std::string>();
    const Tool* t = &tool;
    CLI::App* mount = tool.family(app, "mount", "mount points of a pool's volumes");
    CLI::App* list = tool.command(*mount, "list", "list the mount points of a pool", Needs::Service,
                                  [=] { return mount_list(*t, *pool); });
    add_text(list, "POOL", *pool, "pool name", kPoolName)->required();
}

}  // namespace dsmtool
