// dsmtool fastbackup: whether backup destinations take fast backups, and
// which storage servers offer them. The checks read the product catalog
// (CATALOG_DIR of the product configuration) and give their reasons in the
// host log, which -v shows.
#include "families.h"
#include "records.h"
#include "statuses.h"

#include <algorithm>
#include <memory>

namespace dsmtool {

namespace {

// The reply of a yes/no check: exit code 4 for no, so scripts can test it.
Reply answer(const std::string& name, bool yes) {
    Reply r{Json{{"name", name}, {"fast_backup", yes}}, {},
            name + (yes ? " supports fast backups" : " does not support fast backups")};
    r.exit = yes ? kExitOk : kExitNo;
    return r;
}

// The residence check answers no for a name that is no destination at all,
// and says so only in the host log.
bool no_residence(const std::vector<std::string>& log, const std::string& name) {
    const std::string line = "[residence_support_fast_backup] " + name + " is not a valid residence";
    return std::find(log.begin(), log.end(), line) != log.end();
}

Reply residence(const Tool& tool, const std::string& name) {
    const bool yes = residence_support_fast_backup(name.c_str()) == 1;
    if (!yes && no_residence(tool.host_log(), name)) throw NotFound(name + " is no SLP, storage group or storage unit");
    return answer(name, yes);
}

// A storage unit or group check; the library answers yes for a name that
// is none, which is no destination to ask about.
template <class Check>
Reply member_check(const std::string& name, const char* kind, Check check_fn) {
    int is = 0;
    const int yes = check_fn(name.c_str(), &is);
    if (is != 1) throw NotFound(name + " is no " + kind);
    return answer(name, yes == 1);
}

Reply servers() {
    dsm_storageserverinfo_t* list = nullptr;
    int count = 0;
    const int status = query_storage_server_support_fast_backup(&list, &count);
    if (status != 0)
        throw Failure(status, "query_storage_server_support_fast_backup", fast_backup_status_meaning(status));
    const std::unique_ptr<dsm_storageserverinfo_t, void (*)(dsm_storageserverinfo_t*)> owned(list,
                                                                                             query_storage_server_free);
    Json rows = Json::array();
    for (int i = 0; i < count; ++i) rows.push_back(server_info_json(list[i]));
    return {rows, {"name", "server_type", "storage_type", "access_media_server"}};
}

}  // namespace

void add_fastbackup_commands(CLI::App& app, Tool& tool) {
    auto name = std::make_shared<std::string>();
    const Tool* t = &tool;
    const Needs needs = Needs::ServiceAndHostLog;
    CLI::App* fb = tool.family(app, "fastbackup", "fast backup checks of destinations and storage servers (-v: why)");
    CLI::App* res = tool.command(*fb, "residence", "whether a residence (SLP, storage group or unit) takes them", needs,
                                 [=] { return residence(*t, *name); });
    add_text(res, "NAME", *name, "residence name", {"residence name", 0})->required();
    CLI::App* unit = tool.command(*fb, "unit", "whether a storage unit takes them", needs, [=] {
        return member_check(*name, "storage unit", storage_unit_support_fast_backup);
    });
    add_text(unit, "NAME", *name, "storage unit name", {"storage unit name", 0})->required();
    CLI::App* group = tool.command(*fb, "group", "whether a storage group takes them", needs, [=] {
        return member_check(*name, "storage group", storage_group_support_fast_backup);
    });
    add_text(group, "NAME", *name, "storage group name", {"storage group name", 0})->required();
    tool.command(*fb, "servers", "the storage servers that are up and offer fast backups", needs,
                 [] { return servers(); });
}

}  // namespace dsmtool
