// dsmtool enclosure: list, show and import of disk arrays.
#include "families.h"
#include "records.h"

#include <limits>

namespace dsmtool {

namespace {

struct EnclosureArgs {
    std::string name, pool, master;
    std::vector<std::string> servers;
    int share = 0;
    bool brief = false;
};

// The enclosures the servers see, each holding its EnclosureInfo.
List<dsm_enclosureinfo_t> enclosure_infos(const std::vector<std::string>& names) {
    const Servers servers(names, "");
    List<dsm_enclosureinfo_t> list(dsm_removeref_enclosureinfo_list);
    list.fill("dsm_get_enclosureinfo_list", [&](dsm_enclosureinfo_t* b, int alloc, int* avail) {
        return dsm_get_enclosureinfo_list(servers.data(), servers.count(), b, alloc, avail);
    });
    return list;
}

const dsm_enclosureinfo_t& find(const List<dsm_enclosureinfo_t>& list, const std::string& name) {
    for (const dsm_enclosureinfo_t& e : list.items)
        if (name == e.enclosure.name) return e;
    throw NotFound("no enclosure named " + name);
}

Reply enclosure_list(const EnclosureArgs& a) {
    if (!a.brief) {
        const List<dsm_enclosureinfo_t> list = enclosure_infos(a.servers);
        return {json_list(list.items, enclosure_info_json),
                {"name", "server_type", "type", "array_type", "storage_capacity", "disks", "servers"}};
    }
    const Servers servers(a.servers, "");
    List<dsm_enclosure_t> list;
    list.fill("dsm_get_enclosure_list", [&](dsm_enclosure_t* b, int alloc, int* avail) {
        return dsm_get_enclosure_list(servers.data(), servers.count(), b, alloc, avail);
    });
    return {json_list(list.items, [](const dsm_enclosure_t& e) { return Json(e.name); })};
}

Reply enclosure_show(const EnclosureArgs& a) {
    const List<dsm_enclosureinfo_t> list = enclosure_infos(a.servers);
    const dsm_enclosureinfo_t& e = find(list, a.name);
    List<dsm_disk_t> disks;
    disks.fill("dsm_get_enclosure_disks",
               [&](dsm_disk_t* b, int alloc, int* avail) { return dsm_get_enclosure_disks(&e, b, alloc, avail); });
    List<dsm_storageserver_t> servers;
    servers.fill("dsm_get_enclosure_stservers", [&](dsm_storageserver_t* b, int alloc, int* avail) {
        return dsm_get_enclosure_stservers(&e, b, alloc, avail);
    });
    Json j = enclosure_info_json(e);
    j["disk_list"] = json_list(disks.items, disk_json);
    j["server_list"] = json_list(servers.items, server_json);
    return {j};
}

Reply enclosure_import(const EnclosureArgs& a) {
    const List<dsm_enclosureinfo_t> list = enclosure_infos(a.servers);
    const dsm_enclosureinfo_t& e = find(list, a.name);
    const Servers servers(a.servers, e.enclosure.server_type);
    const std::string master = a.master.empty() ? dsmlib_get_masterserver() : a.master;
    dsm_diskgroupinfo_t pool = cleared<dsm_diskgroupinfo_t>();
    check(dsm_import_enclosure(&e, a.pool.empty() ? nullptr : a.pool.c_str(), master.c_str(), servers.data(),
                               servers.count(), a.share, &pool),
          "dsm_import_enclosure");
    return {pool_json(pool), {}, "Enclosure " + a.name + " imported as pool " + pool.diskgroup.name};
}

void add_enclosure_name(CLI::App* cmd, EnclosureArgs& a) {
    add_text(cmd, "NAME", a.name, "enclosure name", kEnclosureName)->required();
}

}  // namespace

void add_enclosure_commands(CLI::App& app, Tool& tool) {
    auto a = std::make_shared<EnclosureArgs>();
    CLI::App* enclosure = tool.family(app, "enclosure", "disk arrays (enclosures) seen by storage servers");

    CLI::App* list =
        tool.command(*enclosure, "list", "list the enclosures", Needs::Service, [=] { return enclosure_list(*a); });
    add_repeated(list, "--server", a->servers, "only enclosures this storage server sees (repeat for more)",
                 kServerName);
    list->add_flag("--brief", a->brief, "names only, one per line");

    CLI::App* show = tool.command(*enclosure, "show", "show an enclosure with its disks and servers", Needs::Service,
                                  [=] { return enclosure_show(*a); });
    add_enclosure_name(show, *a);
    add_repeated(show, "--server", a->servers, "look among the enclosures of this storage server", kServerName);

    CLI::App* import = tool.command(*enclosure, "import", "import an enclosure as a new disk pool", Needs::Service,
                                    [=] { return enclosure_import(*a); });
    add_enclosure_name(import, *a);
    add_text(import, "--pool", a->pool, "name of the new pool (default: the enclosure's)", kPoolName);
    add_repeated(import, "--server", a->servers, "storage server of the new pool (repeat for more)", kServerName);
    add_integer(import, "--share", a->share, "number of servers that share it", 0, std::numeric_limits<int>::max());
    add_text(import, "--master", a->master, "master server (default: the configured one)", kMasterServer);
}

}  // namespace dsmtool
