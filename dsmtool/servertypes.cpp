// dsmtool servertype: server type names and disk subtype numbers, translated
// by the library without asking the service.
#include "families.h"
#include "records.h"

namespace dsmtool {

namespace {

Reply type_name(int subtype) {
    char name[65];
    check(dsm_get_storageserver_type(subtype, name, static_cast<int>(sizeof name)), "dsm_get_storageserver_type");
    return {Json{{"subtype", subtype}, {"server_type", name}}, {}, name};
}

Reply type_subtype(const std::string& name) {
    uint32_t subtype = 0;
    check(dsm_get_disk_subtype(name.c_str(), &subtype), "dsm_get_disk_subtype");
    return {Json{{"server_type", name}, {"subtype", subtype}}, {}, std::to_string(subtype)};
}

}  // namespace

void add_servertype_commands(CLI::App& app, Tool& tool) {
    auto subtype = std::make_shared<int>(0);
    auto name = std::make_shared<std::string>();
    CLI::App* types = tool.family(app, "servertype", "server type names and disk subtypes");
    CLI::App* by_number = tool.command(*types, "name", "the server type of a disk subtype", Needs::Nothing,
                                       [=] { return type_name(*subtype); });
    add_integer(by_number, "SUBTYPE", *subtype, "disk subtype number")->required();
    CLI::App* by_name = tool.command(*types, "subtype", "the disk subtype of a server type", Needs::Nothing,
                                     [=] { return type_subtype(*name); });
    add_text(by_name, "TYPE", *name, "server type name, e.g. AdvancedDisk", kServerType)->required();
}

}  // namespace dsmtool
