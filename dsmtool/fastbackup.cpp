// dsmtool fastbackup: whether backup destinations take fast backups, and
// which storage servers offer them. The checks read the product catalog
// (CATALOG_DIR of the product configuration) and explain themselves in the
// host log, not here.
#include "families.h"
#include "records.h"
#include "statuses.h"

#include <memory>

namespace dsmtool {

namespace {

// The reply of a yes/no check: exit code 4 for no, so scripts can test it.
Reply answer(Json data, bool yes, const std::string& name, const std::string& what) {
    data["fast_backup"] = yes;
    Reply r{data, {}, name + (yes ? " supports fast backups" : " does not support fast backups") + what};
    r.exit = yes ? kExitOk : kExitNo;
    return r;
}

Reply residence(const std::string& name) {
    const int yes = residence_support_fast_backup(name.c_str());
    return answer({{"residence", name}}, yes == 1, name, "");
}

// A storage unit or group check: 'is' tells whether the name is one at all.
template <class Check>
Reply member_check(const std::string& name, const char* kind, Check check_fn) {
    int is = 0;
    const int yes = check_fn(name.c_str(), &is);
    Json data = {{"name", name}, {kind, is == 1}};
    return answer(data, yes == 1, name, is == 1 ? "" : std::string(" (not a ") + kind + ")");
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
    CLI::App* fb = tool.family(app, "fastbackup", "fast backup checks of destinations and storage servers");
    CLI::App* res = tool.command(*fb, "residence", "whether a residence (SLP, storage group or unit) takes them",
                                 Needs::Service, [=] { return residence(*name); });
    res->add_option("NAME", *name, "residence name")->required();
    CLI::App* unit = tool.command(*fb, "unit", "whether a storage unit takes them", Needs::Service, [=] {
        return member_check(*name, "storage_unit", storage_unit_support_fast_backup);
    });
    unit->add_option("NAME", *name, "storage unit name")->required();
    CLI::App* group = tool.command(*fb, "group", "whether a storage group takes them", Needs::Service, [=] {
        return member_check(*name, "storage_group", storage_group_support_fast_backup);
    });
    group->add_option("NAME", *name, "storage group name")->required();
    tool.command(*fb, "servers", "the storage servers that are up and offer fast backups", Needs::Service,
                 [] { return servers(); });
}

}  // namespace dsmtool
