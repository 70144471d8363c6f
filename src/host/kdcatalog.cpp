// Host catalog client over a directory of plain record files.
#include "kdcatalog.h"
#include "kdbase.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// One catalog line: its "key=value" tokens in order (keys may repeat).
typedef std::vector<std::pair<std::string, std::string>> Record;

// A token without '=' makes the line malformed.
bool parse_line(const std::string& line, Record& out) {
    std::istringstream in(line);
    std::string token;
    while (in >> token) {
        const size_t eq = token.find('=');
        if (eq == std::string::npos || eq == 0) return false;
        out.emplace_back(token.substr(0, eq), token.substr(eq + 1));
    }
    return true;
}

const std::string* value_of(const Record& r, const char* key) {
    for (const auto& kv : r)
        if (kv.first == key) return &kv.second;
    return nullptr;
}

// The path of catalog file 'file'; false when no catalog directory is set.
bool catalog_path(const char* file, std::string& path) {
    char dir[1024];
    if (kdconf_get_value("CATALOG_DIR", dir, sizeof dir) != 0 || !dir[0]) return false;
    path = std::string(dir) + "/" + file;
    return true;
}

// Finds the record named 'name' in catalog file 'file'. A missing file is an
// empty catalog; a missing catalog directory or a bad line is an error.
int find_record(const char* file, const char* name, Record& out) {
    std::string path;
    if (!name || !catalog_path(file, path)) return KDCAT_DB_ERROR;
    std::ifstream in(path);
    if (!in) return KDCAT_NOT_FOUND;
    std::string line;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') continue;
        Record r;
        if (!parse_line(line, r)) return KDCAT_DB_ERROR;
        const std::string* n = value_of(r, "name");
        if (n && *n == name) {
            out = std::move(r);
            return 0;
        }
    }
    return in.bad() ? KDCAT_DB_ERROR : KDCAT_NOT_FOUND;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    if (s.empty()) return parts;
    size_t from = 0;
    for (;;) {
        const size_t at = s.find(sep, from);
        parts.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

// Whole-token integers only (decimal, or hexadecimal with 0x).
bool to_long(const std::string& s, long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtol(s.c_str(), &end, 0);
    return *end == '\0';
}

bool int_field(const Record& r, const char* key, int& out) {
    const std::string* v = value_of(r, key);
    if (!v) return true;  // absent numbers stay 0
    long n = 0;
    if (!to_long(*v, n)) return false;
    out = static_cast<int>(n);
    return true;
}

void text_field(const Record& r, const char* key, char (&dst)[KDCAT_NAME_LEN]) {
    const std::string* v = value_of(r, key);
    V_strlcpy(dst, v ? v->c_str() : "", sizeof dst);
}

// Residence names into a fixed array; more than it holds is malformed.
bool residences(const std::string& list, int& count, char (&names)[KDCAT_MAX_RESIDENCES][KDCAT_NAME_LEN]) {
    const std::vector<std::string> parts = split(list, ',');
    if (parts.size() > KDCAT_MAX_RESIDENCES) return false;
    count = static_cast<int>(parts.size());
    for (size_t i = 0; i < parts.size(); ++i) V_strlcpy(names[i], parts[i].c_str(), KDCAT_NAME_LEN);
    return true;
}

template <class T>
T* alloc_array(size_t n) {
    return n ? static_cast<T*>(std::calloc(n, sizeof(T))) : nullptr;
}

}  // namespace

extern "C" {

void db_initSTUNIT_REC(STUNIT_REC* rec, int) {
    if (rec) std::memset(rec, 0, sizeof *rec);  // it owns no lists
}

void db_initSTGROUP(STGROUP* rec, int clear) {
    if (!rec) return;
    if (clear) std::memset(rec, 0, sizeof *rec);
    rec->num_members = 0;
    rec->members = nullptr;
}

void db_initSS_REC(SS_REC* rec, int clear) {
    if (!rec) return;
    if (clear) std::memset(rec, 0, sizeof *rec);
    rec->num_operations = 0;
    rec->operations = nullptr;
}

int db_getSTUNIT(const char* name, STUNIT_REC* rec) {
    if (!rec) return KDCAT_DB_ERROR;
    Record r;
    int rc = find_record("stunits", name, r);
    if (rc != 0) return rc;
    db_initSTUNIT_REC(rec, 1);
    int sub = 0;
    if (!int_field(r, "type", rec->type) || !int_field(r, "sub_media_type", sub)) return KDCAT_DB_ERROR;
    rec->sub_media_type = static_cast<uint16_t>(sub);
    text_field(r, "name", rec->name);
    text_field(r, "disk_pool", rec->disk_pool);
    return 0;
}

int db_getSTGROUP(const char* name, STGROUP* rec) {
    if (!rec) return KDCAT_DB_ERROR;
    Record r;
    int rc = find_record("stgroups", name, r);
    if (rc != 0) return rc;
    STGROUP g;
    db_initSTGROUP(&g, 1);
    if (!int_field(r, "selection_method", g.selection_method)) return KDCAT_DB_ERROR;
    text_field(r, "name", g.name);
    const std::string* m = value_of(r, "members");
    const std::vector<std::string> members = split(m ? *m : std::string(), ',');
    g.members = alloc_array<char[KDCAT_NAME_LEN]>(members.size());
    if (!members.empty() && !g.members) return KDCAT_DB_ERROR;
    for (size_t i = 0; i < members.size(); ++i) V_strlcpy(g.members[i], members[i].c_str(), KDCAT_NAME_LEN);
    g.num_members = static_cast<int>(members.size());
    *rec = g;
    return 0;
}

int db_getStorageService(const char* name, SS_REC* rec) {
    if (!rec) return KDCAT_DB_ERROR;
    Record r;
    int rc = find_record("slps", name, r);
    if (rc != 0) return rc;
    const std::string* ops = value_of(r, "operations");
    const std::vector<std::string> parts = split(ops ? *ops : std::string(), ',');
    SS_REC s;
    db_initSS_REC(&s, 1);
    text_field(r, "name", s.name);
    s.operations = alloc_array<SS_OPERATION>(parts.size());
    if (!parts.empty() && !s.operations) return KDCAT_DB_ERROR;
    for (size_t i = 0; i < parts.size(); ++i) {
        // "<type>:<storage>", the storage possibly empty
        const size_t colon = parts[i].find(':');
        long type = 0;
        if (colon == std::string::npos || !to_long(parts[i].substr(0, colon), type)) {
            std::free(s.operations);
            return KDCAT_DB_ERROR;
        }
        s.operations[i].type = static_cast<int>(type);
        V_strlcpy(s.operations[i].storage, parts[i].c_str() + colon + 1, KDCAT_NAME_LEN);
    }
    s.num_operations = static_cast<int>(parts.size());
    *rec = s;
    return 0;
}

int db_getCLASS(CLASS* rec, const char* name) {
    if (!rec) return KDCAT_DB_ERROR;
    Record r;
    int rc = find_record("policies", name, r);
    if (rc != 0) return rc;
    CLASS c;
    std::memset(&c, 0, sizeof c);
    text_field(r, "name", c.name);
    CLASS_SCHED** tail = &c.schedules;
    for (const auto& kv : r) {
        if (kv.first != "schedule") continue;
        // "<schedule name>:<residence>,<residence>..."
        const size_t colon = kv.second.find(':');
        auto* s = static_cast<CLASS_SCHED*>(std::calloc(1, sizeof(CLASS_SCHED)));
        if (!s || colon == std::string::npos ||
            !residences(kv.second.substr(colon + 1), s->num_residences, s->residence)) {
            std::free(s);
            db_freeCLASS(&c);
            return KDCAT_DB_ERROR;
        }
        V_strlcpy(s->name, kv.second.substr(0, colon).c_str(), sizeof s->name);
        *tail = s;
        tail = &s->next;
    }
    *rec = c;
    return 0;
}

int db_getCLASS_ATTR(CLASS_ATTR* attr, const char* name) {
    if (!attr) return KDCAT_DB_ERROR;
    Record r;
    int rc = find_record("policies", name, r);
    if (rc != 0) return rc;
    CLASS_ATTR a;
    std::memset(&a, 0, sizeof a);
    const std::string* res = value_of(r, "residences");
    if (!int_field(r, "policy_type", a.policy_type) || !int_field(r, "client_compress", a.client_compress) ||
        !int_field(r, "client_encrypt", a.client_encrypt) || !int_field(r, "fast_backup", a.fast_backup) ||
        !residences(res ? *res : std::string(), a.num_residences, a.residence))
        return KDCAT_DB_ERROR;
    *attr = a;
    return 0;
}

void db_STUNITfree(STUNIT_REC* rec) { db_initSTUNIT_REC(rec, 1); }

void db_STGROUPfree(STGROUP* rec) {
    if (!rec) return;
    std::free(rec->members);
    db_initSTGROUP(rec, 0);
}

void db_freeSS_REC(SS_REC* rec) {
    if (!rec) return;
    std::free(rec->operations);
    db_initSS_REC(rec, 0);
}

void db_freeCLASS(CLASS* rec) {
    if (!rec) return;
    for (CLASS_SCHED* s = rec->schedules; s;) {
        CLASS_SCHED* next = s->next;
        std::free(s);
        s = next;
    }
    rec->schedules = nullptr;
}

unsigned int grey_boxes(int policy_type, unsigned int feature, int options) {
    std::string path;
    if (options != 0 || !catalog_path("policy_types", path)) return 0;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        Record r;
        const std::string *type = nullptr, *mask = nullptr;
        long t = 0, m = 0;
        if (!parse_line(line, r) || !(type = value_of(r, "policy_type")) ||
            !(mask = value_of(r, "features")) || !to_long(*type, t) || !to_long(*mask, m))
            continue;  // comments and lines of no use to this query
        if (t != policy_type) continue;
        const unsigned int features = static_cast<unsigned int>(m);
        return (features & feature) ? features : 0;
    }
    return 0;
}

int db_getservernameEx(char* buf, int size) {
    if (!buf || size <= 0) return KDCAT_DB_ERROR;
    kdconf_info_t* info = nullptr;
    int rc = KDCAT_DB_ERROR;
    if (kdconf_get_info(&info) == 0 && info->num_servers > 0 &&
        V_strlcpy(buf, info->servers[0], static_cast<size_t>(size)) < static_cast<size_t>(size))
        rc = 0;
    kdconf_free_info(&info);
    return rc;
}

}  // extern "C"
