// The number readers every property value goes through, on arbitrary text:
// the four stream readers and the atoi rule agree wherever the text is a
// plain decimal that fits an int, and the library's own number texts read
// back to the numbers written.
//
//   input: the text (a terminator is added); its first 8 octets also make
//          the number for the round trips
#include "FuzzValues.h"

#include "DiskServiceHelper.h"

#include <cctype>
#include <algorithm>
#include <cstring>

namespace {

using H = DiskServiceHelper;

// Leading white space, an optional sign, then 1 to 9 digits (so the value
// fits an int whatever the digits) followed by no further digit.
bool plain_small_decimal(const char* t) {
    while (*t == ' ' || (*t >= '\t' && *t <= '\r')) ++t;
    if (*t == '+' || *t == '-') ++t;
    int digits = 0;
    while (std::isdigit(static_cast<unsigned char>(t[digits]))) ++digits;
    return digits >= 1 && digits <= 9;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* t = text.c_str();
    const int atoi_value = H::toAtoi(t);
    const std::int64_t wide = H::toInt64(t);
    (void)H::toUInt64(t);
    if (plain_small_decimal(t)) {
        FUZZ_CHECK(wide == atoi_value);
        FUZZ_CHECK(H::toInt(t) == atoi_value);
        FUZZ_CHECK(H::toLong(t) == atoi_value);
    }

    std::int64_t n = 0;
    std::memcpy(&n, data, std::min(size, sizeof n));
    FUZZ_CHECK(H::toInt64(H::toText(n).c_str()) == n);
    const auto u = static_cast<std::uint64_t>(n);
    FUZZ_CHECK(H::toUInt64(H::toTextUnsigned(u).c_str()) == u);
    const auto i = static_cast<std::int32_t>(n);
    FUZZ_CHECK(H::toAtoi(H::toText(i).c_str()) == i);
    FUZZ_CHECK(H::toInt(H::toText(i).c_str()) == i);
    return 0;
}
