// dsmtool lsu: the logical storage units reached through a storage unit
// label.
#include "families.h"
#include "records.h"

#include <cstdlib>

namespace dsmtool {

namespace {

struct LsuArgs {
    std::string label, type, master;
    int option = 0;
    bool sort = false;
};

int by_server(const void* a, const void* b) {
    return dsm_sort_ELP_lsu_list_by_ssname_sstype(static_cast<const dsm_ELP_lsu_t*>(a),
                                                  static_cast<const dsm_ELP_lsu_t*>(b));
}

Reply lsu_list(const LsuArgs& a) {
    const std::string master = a.master.empty() ? dsmlib_get_masterserver() : a.master;
    Allocated<dsm_ELP_lsu_t> lsus;
    check(dsm_get_ELP_LSU_list_by_storage_unit_label(master.c_str(), a.label.c_str(), a.type.c_str(), a.option,
                                                     &lsus.items, &lsus.count),
          "dsm_get_ELP_LSU_list_by_storage_unit_label");
    if (a.sort && lsus.count > 1)
        std::qsort(lsus.items, static_cast<size_t>(lsus.count), sizeof *lsus.items, by_server);
    Json rows = Json::array();
    for (int i = 0; i < lsus.count; ++i) rows.push_back(lsu_json(lsus.items[i]));
    return {rows, {"lsu", "server", "pool", "server_type"}};
}

}  // namespace

void add_lsu_commands(CLI::App& app, Tool& tool) {
    auto a = std::make_shared<LsuArgs>();
    CLI::App* lsu = tool.family(app, "lsu", "logical storage units behind a storage unit label");
    CLI::App* list =
        tool.command(*lsu, "list", "list the units of a label", Needs::Service, [=] { return lsu_list(*a); });
    add_text(list, "LABEL", a->label, "storage unit label", kLabel)->required();
    add_text(list, "--type", a->type, "only pools of this server type", kServerType);
    add_integer(list, "--option", a->option, "query option sent to the service")->capture_default_str();
    add_text(list, "--master", a->master, "master server (default: the configured one)", kMasterServer);
    list->add_flag("--sort", a->sort, "order by storage server name, then server type");
}

}  // namespace dsmtool
