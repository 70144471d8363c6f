// The library's records as the tool uses them: bounded field copies, the
// caller-buffer protocol of the list functions in one place, released
// references on every path, and each record's JSON form.
#ifndef DSMTOOL_RECORDS_H
#define DSMTOOL_RECORDS_H

#include "tool.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace dsmtool {

// Copies the whole text and terminates it. Text that does not fit is
// refused, never cut: the command line checks every field it fills (see
// below), so this guards only against a field it missed.
template <size_t N>
void put(char (&field)[N], const std::string& text) {
    if (text.size() > N - 1)
        throw UsageError("a text of " + std::to_string(text.size()) + " bytes does not fit a field of " +
                         std::to_string(N - 1));
    field[text.copy(field, N - 1)] = '\0';
}

// The fields the command line fills: what each is, and the bytes it holds.
constexpr Field kPoolName{"pool name", sizeof(dsm_diskgroup_t::name) - 1};
constexpr Field kVolumeName{"volume name", sizeof(dsm_diskvolume_t::name) - 1};
constexpr Field kServerName{"storage server name", sizeof(dsm_storageserver_t::name) - 1};
constexpr Field kServerType{"server type", sizeof(dsm_storageserver_t::server_type) - 1};
constexpr Field kMasterServer{"master server name", sizeof(dsm_diskgroup_t::master_server) - 1};
constexpr Field kMediaServer{"media server name", sizeof(dsm_diskgroup_t::access_media_server) - 1};
constexpr Field kUserTag{"user tag", sizeof(dsm_diskgroupinfo_t::user_tag) - 1};
constexpr Field kVolumeConfig{"volume configuration", sizeof(dsm_disk_t::volume_config) - 1};
constexpr Field kItemName{"item name", sizeof(dsm_configitem_t::name) - 1};
constexpr Field kItemValue{"item value", sizeof(dsm_configitem_t::value) - 1};
constexpr Field kEnclosureName{"enclosure name", sizeof(dsm_enclosure_t::name) - 1};
constexpr Field kMediaId{"media id", sizeof(dsm_diskvolumeinfo_t::disk_media_id) - 1};
constexpr Field kVolumeId{"volume id", sizeof(dsm_diskvolume_t::id) - 1};
constexpr Field kMachineName{"machine name", sizeof(dsm_mountpoint_t::machine_name) - 1};
constexpr Field kLabel{"storage unit label", 0};
// Replication specifications are read back into a buffer of this size.
constexpr size_t kReplicationBuffer = 4097;
constexpr Field kReplication{"replication name", kReplicationBuffer - 1};

template <class T>
T cleared() {
    T rec;
    std::memset(&rec, 0, sizeof rec);
    return rec;
}

// One record whose object_ref the library may fill; released when it goes.
template <class T, int (*Release)(T*)>
class Held {
public:
    Held() : rec(cleared<T>()) {}
    ~Held() { Release(&rec); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T rec;
};

using HeldPool = Held<dsm_diskgroupinfo_t, dsm_removeref_diskgroupinfo>;
using HeldVolume = Held<dsm_diskvolumeinfo_t, dsm_removeref_diskvolumeinfo>;
using HeldServer = Held<dsm_storageserverinfo_t, dsm_removeref_storageserver>;

// The filled elements of a list call; their references, if any, are
// released when it goes.
template <class T>
class List {
public:
    using Release = int (*)(T*, int);
    explicit List(Release release = nullptr) : release_(release) {}
    ~List() { drop(); }
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    List(List&& o) noexcept : items(std::move(o.items)), release_(o.release_) { o.items.clear(); }

    // Runs call(buffer, allocated, &available) until the buffer holds every
    // element the service has (the count may grow between two calls).
    template <class Call>
    List& fill(const char* name, Call call) {
        int alloc = 32;
        for (int attempt = 0;; ++attempt) {
            drop();
            items.assign(static_cast<size_t>(alloc), cleared<T>());
            int avail = 0;
            check(call(items.data(), alloc, &avail), name);
            if (avail <= alloc || attempt == 3) {
                items.resize(static_cast<size_t>(std::min(avail, alloc)));
                return *this;
            }
            alloc = avail;
        }
    }

    std::vector<T> items;

private:
    void drop() {
        if (release_ && !items.empty()) release_(items.data(), static_cast<int>(items.size()));
        items.clear();
    }
    Release release_;
};

// An array the library allocated with malloc for the caller; freed (after
// releasing its elements' references, if any) when it goes.
template <class T>
class Allocated {
public:
    using Release = int (*)(T*, int);
    explicit Allocated(Release release = nullptr) : release_(release) {}
    ~Allocated() {
        if (items && release_) release_(items, count);
        std::free(items);
    }
    Allocated(const Allocated&) = delete;
    Allocated& operator=(const Allocated&) = delete;
    T* items = nullptr;
    int count = 0;

private:
    Release release_;
};

// One name buffer as an element of a List (data movers, array types).
struct NameCell {
    dsm_name_t text;
};
static_assert(sizeof(NameCell) == sizeof(dsm_name_t), "a cell is exactly one name buffer");

// Turns every element into JSON.
template <class T, class ToJson>
Json json_list(const std::vector<T>& items, ToJson to_json) {
    Json out = Json::array();
    for (const T& item : items) out.push_back(to_json(item));
    return out;
}

// ---- names of the library's values ----
const char* pool_state_name(int state);
const char* volume_state_name(int state);
const char* tri_name(int value);
// "up" -> 1, "down" -> 2.
int up_down(const std::string& word);
// Accepts "up" and "down" only.
CLI::Validator up_down_check();

// Throws NotApplied when, after being asked for 'asked', the service holds
// 'held' for 'what' ("pool p1 state").
void expect_held(const std::string& what, const Json& asked, const Json& held);

// ---- records from the command line ----
dsm_diskgroup_t pool_key(const std::string& name);
dsm_storageserver_t server_key(const std::string& name, const std::string& type, int storage_type = 6);

// Storage server records for a list argument of the library: never a null
// array, even when no server is named.
class Servers {
public:
    Servers(const std::vector<std::string>& names, const std::string& type, int storage_type = 6);
    const dsm_storageserver_t* data() const { return recs_.data(); }
    int count() const { return count_; }

private:
    std::vector<dsm_storageserver_t> recs_;
    int count_;
};

// ---- JSON forms of the records ----
Json pool_json(const dsm_diskgroupinfo_t& p);
Json volume_json(const dsm_diskvolumeinfo_t& v);
Json server_json(const dsm_storageserver_t& s);
Json server_info_json(const dsm_storageserverinfo_t& s);
Json config_item_json(const dsm_configitem_t& c);
Json enclosure_json(const dsm_enclosure_t& e);
Json enclosure_info_json(const dsm_enclosureinfo_t& e);
Json disk_json(const dsm_disk_t& d);
Json mount_point_json(const dsm_mountpoint_t& m);
Json lsu_json(const dsm_ELP_lsu_t& l);

// A value read from a held record, or null when the record lacks it (the
// accessor's invalid-argument status): show commands print what exists.
template <class V, class Accessor>
Json optional_value(Accessor accessor) {
    V value{};
    return accessor(&value) == DSM_OK ? Json(value) : Json(nullptr);
}

}  // namespace dsmtool

#endif
