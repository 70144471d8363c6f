#include "records.h"

namespace dsmtool {

namespace {

struct Word {
    int value;
    const char* text;
};

// The word for 'value' in 'words', or 'otherwise'.
template <size_t N>
const char* word_for(const Word (&words)[N], int value, const char* otherwise) {
    for (const Word& w : words)
        if (w.value == value) return w.text;
    return otherwise;
}

}  // namespace

const char* pool_state_name(int state) {
    static const Word words[] = {{DSM_DG_STATE_UP, "up"}, {DSM_DG_STATE_DOWN, "down"}, {DSM_DG_STATE_OTHER, "other"}};
    return word_for(words, state, "unknown");
}

const char* volume_state_name(int state) {
    static const Word words[] = {{DSM_DV_STATE_UP, "up"}, {DSM_DV_STATE_DOWN, "down"}};
    return word_for(words, state, "none");
}

const char* tri_name(int value) {
    static const Word words[] = {{DSM_TRI_YES, "yes"}, {DSM_TRI_NO, "no"}};
    return word_for(words, value, "unknown");
}

void expect_held(const std::string& what, const Json& asked, const Json& held) {
    const auto text = [](const Json& v) { return v.is_string() ? v.get<std::string>() : v.dump(); };
    if (asked != held) throw NotApplied("the service holds " + what + " " + text(held) + ", not " + text(asked));
}

int up_down(const std::string& word) { return word == "up" ? 1 : 2; }

CLI::Validator up_down_check() { return CLI::IsMember({"up", "down"}); }

dsm_diskgroup_t pool_key(const std::string& name) {
    dsm_diskgroup_t g = cleared<dsm_diskgroup_t>();
    put(g.name, name);
    put(g.master_server, dsmlib_get_masterserver());
    return g;
}

dsm_storageserver_t server_key(const std::string& name, const std::string& type, int storage_type) {
    dsm_storageserver_t s = cleared<dsm_storageserver_t>();
    put(s.name, name);
    put(s.server_type, type);
    s.storage_type = storage_type;
    return s;
}

Servers::Servers(const std::vector<std::string>& names, const std::string& type, int storage_type)
    : count_(static_cast<int>(names.size())) {
    for (const std::string& n : names) recs_.push_back(server_key(n, type, storage_type));
    recs_.push_back(server_key("", ""));  // not counted
}

Json pool_json(const dsm_diskgroupinfo_t& p) {
    const dsm_diskgroup_t& g = p.diskgroup;
    return {{"name", g.name},
            {"id", g.id},
            {"server_type", g.server_type},
            {"master_server", g.master_server},
            {"access_media_server", g.access_media_server},
            {"state", pool_state_name(p.kdu_state)},
            {"storage_type", p.storage_type},
            {"total_capacity", p.total_capacity},
            {"used_space", p.used_space},
            {"availability", tri_name(p.availability)},
            {"connectivity", tri_name(p.connectivity)},
            {"high_watermark", p.high_watermark},
            {"low_watermark", p.low_watermark},
            {"volumes", p.num_diskvolumes},
            {"disks", p.num_disks},
            {"servers", p.num_stservers},
            {"system_tag", p.system_tag},
            {"user_tag", p.user_tag}};
}

Json volume_json(const dsm_diskvolumeinfo_t& v) {
    return {{"name", v.name},
            {"id", v.id},
            {"pool", v.diskgroup.name},
            {"media_id", v.disk_media_id},
            {"state", volume_state_name(v.kdu_state)},
            {"total_capacity", v.total_capacity},
            {"free_space", v.free_space},
            {"potential_free_space", v.potential_free_space},
            {"committed_space", v.committed_space},
            {"precommitted_space", v.precommitted_space},
            {"read_mounts", v.num_read_mounts},
            {"max_read_mounts", v.max_read_mounts},
            {"write_mounts", v.num_write_mounts},
            {"max_write_mounts", v.max_write_mounts},
            {"system_tag", v.system_tag}};
}

Json server_json(const dsm_storageserver_t& s) {
    return {{"name", s.name},
            {"id", s.id},
            {"server_type", s.server_type},
            {"storage_type", s.storage_type},
            {"access_media_server", s.access_media_server}};
}

Json server_info_json(const dsm_storageserverinfo_t& s) {
    Json j = server_json(s.stserver);
    j["property_flags"] = s.property_flags;
    return j;
}

Json config_item_json(const dsm_configitem_t& c) {
    return {{"name", c.name},
            {"value", c.value},
            {"kind", c.data_type},
            {"fixed", c.fixed != 0},
            {"description", c.description}};
}

Json enclosure_json(const dsm_enclosure_t& e) {
    return {{"name", e.name}, {"id", e.id}, {"server_type", e.server_type}};
}

Json enclosure_info_json(const dsm_enclosureinfo_t& e) {
    Json j = enclosure_json(e.enclosure);
    j["type"] = e.en_type;
    j["serial_number"] = e.serial_number;
    j["array_type"] = e.array_type;
    j["storage_capacity"] = e.storage_capacity;
    j["availability"] = tri_name(e.availability);
    j["connectivity"] = tri_name(e.connectivity);
    j["disks"] = e.num_disks;
    j["servers"] = e.num_stservers;
    return j;
}

Json disk_json(const dsm_disk_t& d) {
    return {{"name", d.name}, {"id", d.id}, {"availability", tri_name(d.availability)}};
}

Json mount_point_json(const dsm_mountpoint_t& m) {
    return {{"path", m.path}, {"machine", m.machine_name}, {"state", m.state}};
}

Json lsu_json(const dsm_ELP_lsu_t& l) {
    return {{"lsu", l.lsu_name},
            {"server", l.stserver_name},
            {"pool", l.diskgroup_name},
            {"server_type", l.server_type},
            {"master_server", l.master_server}};
}

}  // namespace dsmtool
