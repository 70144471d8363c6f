// The comparison callers sort storage unit lists with, over records whose
// names hold any bytes: its answers are -1, 0 or 1 and antisymmetric, and a
// qsort with it orders the records as the unsigned byte order of server name
// then server type does, losing none of them.
//
//   input: record count (at most 32), then per record lsu_name,
//          stserver_name and server_type texts
#include "Exercise.h"

#include "dsm.h"

#include "kdbase.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace dsmfuzz;

constexpr std::size_t kMaxRecords = 32;

template <std::size_t N>
void fill(char (&field)[N], const Text& t) {
    V_strlcpy(field, t ? t->c_str() : "", N);
}

int by_name_then_type(const void* a, const void* b) {
    return dsm_sort_ELP_lsu_list_by_ssname_sstype(static_cast<const dsm_ELP_lsu_t*>(a),
                                                  static_cast<const dsm_ELP_lsu_t*>(b));
}

// std::string compares its characters as unsigned char, as the library must.
std::string key(const dsm_ELP_lsu_t& r) {
    return std::string(r.stserver_name) + '\0' + std::string(r.server_type);
}

void check_pairs(const std::vector<dsm_ELP_lsu_t>& lsus) {
    for (const dsm_ELP_lsu_t& a : lsus) {
        FUZZ_CHECK(by_name_then_type(&a, &a) == 0);
        for (const dsm_ELP_lsu_t& b : lsus) {
            const int ab = by_name_then_type(&a, &b);
            FUZZ_CHECK(ab == -1 || ab == 0 || ab == 1);
            FUZZ_CHECK(ab == -by_name_then_type(&b, &a));
            const int c = std::strcmp(a.stserver_name, b.stserver_name) != 0
                              ? std::string(a.stserver_name).compare(b.stserver_name)
                              : std::string(a.server_type).compare(b.server_type);
            FUZZ_CHECK(ab == (c < 0 ? -1 : c > 0 ? 1 : 0));
        }
    }
}

std::vector<std::string> names_of(const std::vector<dsm_ELP_lsu_t>& lsus) {
    std::vector<std::string> names;
    for (const dsm_ELP_lsu_t& r : lsus) names.emplace_back(r.lsu_name);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    std::vector<dsm_ELP_lsu_t> lsus(in.count(kMaxRecords));
    for (dsm_ELP_lsu_t& r : lsus) {
        std::memset(&r, 0, sizeof r);
        fill(r.lsu_name, in.text());
        fill(r.stserver_name, in.text());
        fill(r.server_type, in.text());
    }
    check_pairs(lsus);
    const std::vector<std::string> before = names_of(lsus);
    if (!lsus.empty()) std::qsort(lsus.data(), lsus.size(), sizeof(dsm_ELP_lsu_t), by_name_then_type);
    for (std::size_t i = 1; i < lsus.size(); ++i) FUZZ_CHECK(key(lsus[i - 1]) <= key(lsus[i]));
    FUZZ_CHECK(names_of(lsus) == before);
    return 0;
}
