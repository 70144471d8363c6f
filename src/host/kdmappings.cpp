// Device mappings read from a plain text file.
#include "kdmappings.h"
#include "kdbase.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

struct kd_mappings {
    struct Entry {
        std::string storage_type;
        std::string server_type;
        bool rapidor = false;
    };
    std::vector<Entry> entries;
};

namespace {

// "<storage type> <server type> [feature ...]"; false when malformed.
bool parse_entry(const std::string& line, kd_mappings::Entry& e) {
    std::istringstream in(line);
    if (!(in >> e.storage_type >> e.server_type)) return false;
    std::string feature;
    while (in >> feature)
        if (feature == "rapidor") e.rapidor = true;
    return true;
}

}  // namespace

extern "C" {

kd_mappings_t* InitializeMappings_C_(int* status, const char* path) {
    int dummy = 0;
    int& err = status ? *status : dummy;
    if (!path || !*path) {
        err = ENOENT;
        return nullptr;
    }
    std::ifstream in(path);
    if (!in) {
        err = errno ? errno : ENOENT;
        return nullptr;
    }
    auto* m = new (std::nothrow) kd_mappings;
    if (!m) {
        err = ENOMEM;
        return nullptr;
    }
    std::string line;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') continue;
        kd_mappings::Entry e;
        if (!parse_entry(line, e)) {
            delete m;
            err = EINVAL;
            return nullptr;
        }
        m->entries.push_back(e);
    }
    err = 0;
    return m;
}

void FreeMappings_C_(kd_mappings_t* mappings) { delete mappings; }

int GetExtendedAttributes_C_(ExtendedAttrQuery* query, const kd_mappings_t* mappings) {
    if (!query || !mappings || query->request != KD_MAPPINGS_REQ_FEATURES) return 0;
    for (const auto& e : mappings->entries) {
        if (e.storage_type == query->storage_type && e.server_type == query->server_type) {
            query->feature_rapidor = e.rapidor ? 1 : 0;
            return 1;
        }
    }
    return 0;
}

}  // extern "C"
