// dsmtool server: list, show, create, update, state, configuration items,
// array types and delete of storage servers.
#include "families.h"
#include "records.h"

#include <algorithm>
#include <limits>

namespace dsmtool {

namespace {

struct ServerArgs {
    std::string name, type, machine, reason, state;
    std::vector<std::string> items;
    int32_t storage_type = 6;
    int32_t kind = DSM_CONFIG_TYPE_1;
    bool no_validate = false;
    bool datamover = false;
    bool force = false;
    Optional<std::string> media_server;
    Optional<int64_t> flags;
    Optional<uint64_t> flagsext;
};

// Server flags are sent signed and read back unsigned: only what reads back
// the same is taken.
constexpr int64_t kMaxServerFlags = std::numeric_limits<int64_t>::max();

const char* server_state_name(uint32_t state) { return state == 1 ? "up" : state == 2 ? "down" : "unknown"; }

// The server as the service knows it, holding its StorageServerInfo.
void load_server(const Tool& tool, const std::string& name, dsm_storageserverinfo_t& info, bool validate = true) {
    const dsm_storageserver_t key = server_key(name, "");
    if (validate)
        check(dsm_get_storageserverinfo(&key, tool.db_mode(), &info), "dsm_get_storageserverinfo");
    else
        check(dsm_get_storageserverinfo_novalidate(&key, tool.db_mode(), &info),
              "dsm_get_storageserverinfo_novalidate");
}

// The values kept as properties of the held server.
Json server_row(const dsm_storageserverinfo_t& s) {
    Json j = server_info_json(s);
    const Json state = optional_value<uint32_t>([&](uint32_t* v) { return dsm_storageserver_state(&s, v); });
    j["state"] = state.is_null() ? "unknown" : server_state_name(state.get<uint32_t>());
    j["flags"] = optional_value<uint64_t>([&](uint64_t* v) { return dsm_storageserver_flags(&s, v); });
    j["flags_ext"] = optional_value<uint64_t>([&](uint64_t* v) { return dsm_storageserver_flagsext(&s, v); });
    return j;
}

// Array types as internal and display names, from 'call(display, internal, alloc, avail)'.
template <class Call>
Json array_types(const char* name, Call call) {
    std::vector<NameCell> internal;
    List<NameCell> display;
    display.fill(name, [&](NameCell* b, int alloc, int* avail) {
        internal.assign(static_cast<size_t>(alloc), cleared<NameCell>());
        return call(&b->text, &internal.data()->text, alloc, avail);
    });
    Json out = Json::array();
    for (size_t i = 0; i < display.items.size(); ++i)
        out.push_back({{"name", std::string(internal[i].text)}, {"display_name", std::string(display.items[i].text)}});
    return out;
}

Reply changed(const Tool& tool, const std::string& name, const std::string& what) {
    HeldServer s;
    load_server(tool, name, s.rec);
    return {server_row(s.rec), {}, "Storage server " + name + " " + what};
}

Reply server_list(const Tool& tool, const ServerArgs& a) {
    List<dsm_storageserverinfo_t> servers(dsm_removeref_storageserver_list);
    servers.fill("dsm_get_storageserverinfo_list", [&](dsm_storageserverinfo_t* b, int alloc, int* avail) {
        return dsm_get_storageserverinfo_list(a.machine.c_str(), tool.db_mode(), b, alloc, avail);
    });
    return {json_list(servers.items, server_row),
            {"name", "server_type", "storage_type", "state", "access_media_server"}};
}

Reply server_show(const Tool& tool, const ServerArgs& a) {
    HeldServer s;
    load_server(tool, a.name, s.rec, !a.no_validate);
    Json j = server_row(s.rec);
    if (std::string(s.rec.stserver.server_type) == "SharedDisk")
        j["array_types"] =
            array_types("dsm_get_storageserver_arraytypes", [&](dsm_name_t* d, dsm_name_t* n, int alloc, int* avail) {
                return dsm_get_storageserver_arraytypes(&s.rec, d, n, alloc, avail);
            });
    return {j};
}

Reply server_create(const Tool& tool, const ServerArgs& a) {
    dsm_storageserver_t s = server_key(a.name, a.type, a.storage_type);
    put(s.access_media_server, a.media_server.value);
    check(dsm_create_storageserver(&s, tool.db_mode(), reason_or_null(a.reason)), "dsm_create_storageserver");
    return changed(tool, a.name, "created");
}

Reply server_update(const Tool& tool, const ServerArgs& a) {
    if (!a.media_server.given() && !a.flags.given() && !a.flagsext.given())
        throw UsageError("nothing to update; see --help");
    HeldServer s;
    load_server(tool, a.name, s.rec);
    dsm_storageserver_t key = s.rec.stserver;
    const char* reason = reason_or_null(a.reason);
    if (a.media_server.given()) {
        put(key.access_media_server, a.media_server.value);
        check(dsm_update_storageserver(&key, tool.db_mode(), reason), "dsm_update_storageserver");
    }
    if (a.flags.given())
        check(dsm_update_storageserver_flags(&key, a.flags.value, tool.db_mode(), nullptr, reason),
              "dsm_update_storageserver_flags");
    if (a.flagsext.given())
        check(dsm_update_storageserver_flagsext(&key, a.flagsext.value, tool.db_mode(), nullptr, reason),
              "dsm_update_storageserver_flagsext");
    Reply r = changed(tool, a.name, "updated");
    if (a.flags.given()) expect_held("storage server " + a.name + " flags", a.flags.value, r.data["flags"]);
    if (a.flagsext.given())
        expect_held("storage server " + a.name + " extended flags", a.flagsext.value, r.data["flags_ext"]);
    return r;
}

Reply server_state(const Tool& tool, const ServerArgs& a) {
    HeldServer s;
    load_server(tool, a.name, s.rec);
    const dsm_storageserver_t key = s.rec.stserver;
    HeldServer out;
    check(dsm_update_storageserver_state(&key, static_cast<unsigned int>(up_down(a.state)), tool.db_mode(), &out.rec,
                                         reason_or_null(a.reason)),
          "dsm_update_storageserver_state");
    Reply r = changed(tool, a.name, "is ");
    expect_held("storage server " + a.name + " state", a.state, r.data["state"]);
    r.message += r.data["state"].get<std::string>();
    return r;
}

// The names of the pools that use the server.
std::string users_of(const Tool& tool, const std::string& server) {
    std::string names;
    for (const Json& pool : pools_of_servers(tool, {server}, ""))
        names += (names.empty() ? "" : ", ") + pool["name"].get<std::string>();
    return names;
}

Reply server_delete(const Tool& tool, const ServerArgs& a) {
    HeldServer s;
    load_server(tool, a.name, s.rec);
    const std::string users = a.force ? "" : users_of(tool, a.name);
    if (!users.empty())
        throw UsageError("storage server " + a.name + " is used by pool(s) " + users +
                         "; give --force to delete it anyway");
    check(dsm_delete_storageserver(&s.rec.stserver, tool.db_mode(), reason_or_null(a.reason)),
          "dsm_delete_storageserver");
    return {server_json(s.rec.stserver), {}, "Storage server " + a.name + " deleted"};
}

List<dsm_configitem_t> config_items(const Tool& tool, const dsm_storageserver_t& server) {
    List<dsm_configitem_t> items;
    items.fill("dsm_get_storageserver_configitems", [&](dsm_configitem_t* b, int alloc, int* avail) {
        return dsm_get_storageserver_configitems(&server, tool.db_mode(), b, alloc, avail);
    });
    return items;
}

Reply config_get(const Tool& tool, const ServerArgs& a) {
    HeldServer s;
    load_server(tool, a.name, s.rec);
    const List<dsm_configitem_t> items = config_items(tool, s.rec.stserver);
    Json rows = Json::array();
    for (const dsm_configitem_t& c : items.items)
        if (a.items.empty() || std::find(a.items.begin(), a.items.end(), c.name) != a.items.end())
            rows.push_back(config_item_json(c));
    for (const std::string& wanted : a.items) {
        const auto named = [&](const Json& row) { return row["name"] == wanted; };
        if (std::none_of(rows.begin(), rows.end(), named))
            throw NotFound("storage server " + a.name + " has no configuration item " + wanted);
    }
    return {rows, {"name", "value", "kind", "fixed", "description"}};
}

// "NAME=VALUE" as a configuration item of kind 'kind'.
dsm_configitem_t parse_item(const std::string& text, int kind) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) throw UsageError("'" + text + "' is not NAME=VALUE");
    for (const auto& [field, part] : {std::make_pair(kItemName, text.substr(0, eq)),
                                      std::make_pair(kItemValue, text.substr(eq + 1))})
        if (const std::string why = field_problem(field, part); !why.empty()) throw UsageError(why);
    dsm_configitem_t item = cleared<dsm_configitem_t>();
    put(item.name, text.substr(0, eq));
    put(item.value, text.substr(eq + 1));
    item.data_type = kind;
    return item;
}

Reply config_set(const Tool& tool, const ServerArgs& a) {
    std::vector<dsm_configitem_t> items;
    for (const std::string& text : a.items) items.push_back(parse_item(text, a.kind));
    HeldServer s;
    load_server(tool, a.name, s.rec);
    // An item the server already has keeps its kind.
    const List<dsm_configitem_t> current = config_items(tool, s.rec.stserver);
    for (dsm_configitem_t& item : items)
        for (const dsm_configitem_t& c : current.items)
            if (std::string(c.name) == item.name) item.data_type = c.data_type;
    check(dsm_update_storageserver_configitems(&s.rec.stserver, tool.db_mode(), items.data(),
                                               static_cast<unsigned int>(items.size()), reason_or_null(a.reason)),
          "dsm_update_storageserver_configitems");
    const List<dsm_configitem_t> now = config_items(tool, s.rec.stserver);
    return {json_list(now.items, config_item_json),
            {},
            "Storage server " + a.name + ": " + std::to_string(items.size()) + " configuration item(s) set"};
}

Reply server_arraytypes(const Tool& tool, const ServerArgs& a) {
    Json types;
    if (a.datamover) {
        types = array_types("dsm_get_datamover_arraytypes", [&](dsm_name_t* d, dsm_name_t* n, int alloc, int* avail) {
            return dsm_get_datamover_arraytypes(a.name.c_str(), d, n, alloc, avail);
        });
    } else {
        HeldServer s;
        load_server(tool, a.name, s.rec);
        types =
            array_types("dsm_get_storageserver_arraytypes", [&](dsm_name_t* d, dsm_name_t* n, int alloc, int* avail) {
                return dsm_get_storageserver_arraytypes(&s.rec, d, n, alloc, avail);
            });
    }
    return {types, {"name", "display_name"}};
}

void add_name(CLI::App* cmd, ServerArgs& a) {
    add_text(cmd, "NAME", a.name, "storage server name", kServerName)->required();
}

void add_storage_type(CLI::App* cmd, ServerArgs& a) {
    add_integer(cmd, "--storage-type", a.storage_type, "storage type")->capture_default_str();
}

void add_flags(CLI::App* cmd, ServerArgs& a) {
    add_optional<int64_t>(cmd, "--flags", a.flags, "server flags (0 to " + std::to_string(kMaxServerFlags) + ")", 0,
                          kMaxServerFlags);
    add_optional(cmd, "--flags-ext", a.flagsext, "extended server flags (unsigned 64-bit)");
}

void add_config_commands(CLI::App& server, Tool& tool, const std::shared_ptr<ServerArgs>& a) {
    const Tool* t = &tool;
    CLI::App* config = tool.family(server, "config", "configuration items of a storage server");
    CLI::App* get =
        tool.command(*config, "get", "show configuration items", Needs::Service, [=] { return config_get(*t, *a); });
    add_name(get, *a);
    add_texts(get, "ITEM", a->items, "only these items", kItemName);
    CLI::App* set =
        tool.command(*config, "set", "set configuration items", Needs::Service, [=] { return config_set(*t, *a); });
    add_name(set, *a);
    add_texts(set, "ITEM", a->items, "NAME=VALUE (repeat for more)", {"item", 0})->required();
    add_integer(set, "--kind", a->kind, "value kind of new items (1 to 4)", 1, 4)->capture_default_str();
    add_reason(set, a->reason);
}

}  // namespace

void add_server_commands(CLI::App& app, Tool& tool) {
    auto a = std::make_shared<ServerArgs>();
    const Tool* t = &tool;
    CLI::App* server = tool.family(app, "server", "storage servers");

    CLI::App* list =
        tool.command(*server, "list", "list the storage servers", Needs::Service, [=] { return server_list(*t, *a); });
    add_text(list, "--machine", a->machine, "only the servers of this machine", kMachineName);

    CLI::App* show =
        tool.command(*server, "show", "show a storage server", Needs::Service, [=] { return server_show(*t, *a); });
    add_name(show, *a);
    show->add_flag("--no-validate", a->no_validate, "describe the server even when the service does not know it");

    CLI::App* create = tool.command(*server, "create", "create a storage server", Needs::Service,
                                    [=] { return server_create(*t, *a); });
    add_name(create, *a);
    add_text(create, "--type", a->type, "server type, e.g. AdvancedDisk", kServerType)->required();
    add_storage_type(create, *a);
    add_optional_text(create, "--media-server", a->media_server, "access media server", kMediaServer);
    add_reason(create, a->reason);

    CLI::App* update = tool.command(*server, "update", "change a storage server's media server or flags",
                                    Needs::Service, [=] { return server_update(*t, *a); });
    add_name(update, *a);
    add_optional_text(update, "--media-server", a->media_server, "access media server", kMediaServer);
    add_flags(update, *a);
    add_reason(update, a->reason);

    CLI::App* state = tool.command(*server, "state", "set a storage server up or down", Needs::Service,
                                   [=] { return server_state(*t, *a); });
    add_name(state, *a);
    state->add_option("STATE", a->state, "up or down")->required()->check(up_down_check());
    add_reason(state, a->reason);

    add_config_commands(*server, tool, a);

    CLI::App* types = tool.command(*server, "arraytypes", "array types of a SharedDisk server or a data mover",
                                   Needs::Service, [=] { return server_arraytypes(*t, *a); });
    add_name(types, *a);
    types->add_flag("--datamover", a->datamover, "NAME is a data mover machine");

    CLI::App* del = tool.command(*server, "delete", "delete a storage server", Needs::Service,
                                 [=] { return server_delete(*t, *a); });
    add_name(del, *a);
    del->add_flag("--force", a->force, "delete it even though pools use it");
    add_reason(del, a->reason);
}

}  // namespace dsmtool
