// The number readers every property value goes through, on arbitrary text:
// the four stream readers and the atoi rule agree wherever the text is a
// plain decimal that fits an int, and the library's own number texts read
// back to the numbers written.
//
//   input: the text (a terminator is added); its first 8 octets also make
//          the number for the round trips
#include "Exercise.h"

#include "DiskServiceHelper.h"

#include <cctype>
#include <cstring>
#include <string>

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

void check_agreement(const char* text) {
    const int atoi_value = H::toAtoi(text);
    const std::int64_t wide = H::toInt64(text);
    (void)H::toUInt64(text);
    if (!plain_small_decimal(text)) return;
    FUZZ_CHECK(wide == atoi_value);
    FUZZ_CHECK(H::toInt(text) == atoi_value);
    FUZZ_CHECK(H::toLong(text) == atoi_value);
}

void check_round_trips(std::int64_t n) {
    FUZZ_CHECK(H::toInt64(H::toText(n).c_str()) == n);
    const auto u = static_cast<std::uint64_t>(n);
    FUZZ_CHECK(H::toUInt64(H::toTextUnsigned(u).c_str()) == u);
    const auto i = static_cast<std::int32_t>(n);
    FUZZ_CHECK(H::toAtoi(H::toText(i).c_str()) == i);
    FUZZ_CHECK(H::toInt(H::toText(i).c_str()) == i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    check_agreement(text.c_str());
    std::int64_t n = 0;
    std::memcpy(&n, data, size < sizeof n ? size : sizeof n);
    check_round_trips(n);
    return 0;
}
