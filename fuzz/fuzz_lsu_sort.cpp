// The comparison callers sort storage unit lists with, over records whose
// names hold any bytes: its answers are -1, 0 or 1 and antisymmetric, and a
// qsort with it orders the records as the unsigned byte order of server name
// then server type does, losing none of them.
//
//   input: record count (at most 32), then per record lsu_name,
//          stserver_name and server_type texts
#include "FuzzValues.h"

#include "dsm.h"

#include "kdbase.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

template <std::size_t N>
void fill(char (&field)[N], dsmfuzz::Reader& in) {
    V_strlcpy(field, in.text().value_or("").c_str(), N);
}

int by_name_then_type(const void* a, const void* b) {
    return dsm_sort_ELP_lsu_list_by_ssname_sstype(static_cast<const dsm_ELP_lsu_t*>(a),
                                                  static_cast<const dsm_ELP_lsu_t*>(b));
}

// std::string compares its characters as unsigned char, as the library must.
std::string key(const dsm_ELP_lsu_t& r) { return std::string(r.stserver_name) + '\0' + r.server_type; }

std::vector<std::string> names_of(const std::vector<dsm_ELP_lsu_t>& lsus) {
    std::vector<std::string> names;
    for (const dsm_ELP_lsu_t& r : lsus) names.emplace_back(r.lsu_name);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dsmfuzz::Reader in(data, size);
    std::vector<dsm_ELP_lsu_t> lsus(in.count(32));
    for (dsm_ELP_lsu_t& r : lsus) {
        std::memset(&r, 0, sizeof r);
        fill(r.lsu_name, in);
        fill(r.stserver_name, in);
        fill(r.server_type, in);
    }
    for (const dsm_ELP_lsu_t& a : lsus) {
        for (const dsm_ELP_lsu_t& b : lsus) {
            const int ab = by_name_then_type(&a, &b);
            const int c = key(a).compare(key(b));
            FUZZ_CHECK(ab == (c < 0 ? -1 : c > 0 ? 1 : 0));
            FUZZ_CHECK(ab == -by_name_then_type(&b, &a));
        }
    }
    const std::vector<std::string> before = names_of(lsus);
    if (!lsus.empty()) std::qsort(lsus.data(), lsus.size(), sizeof(dsm_ELP_lsu_t), by_name_then_type);
    for (std::size_t i = 1; i < lsus.size(); ++i) FUZZ_CHECK(key(lsus[i - 1]) <= key(lsus[i]));
    FUZZ_CHECK(names_of(lsus) == before);
    return 0;
}
