#include "units.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>

namespace dsmtool {

namespace {

int digit_value(char c, unsigned base) {
    const int lower = std::tolower(static_cast<unsigned char>(c));
    const int v = std::isdigit(lower) ? lower - '0' : (lower >= 'a' && lower <= 'f') ? lower - 'a' + 10 : 99;
    return v < static_cast<int>(base) ? v : -1;
}

// Accumulates the digits; false when one is not a digit of 'base'. Values
// beyond 64 bits set 'beyond' instead of wrapping.
bool accumulate(const std::string& digits, unsigned base, unsigned long long& out, bool& beyond) {
    if (digits.empty()) return false;
    out = 0;
    for (char c : digits) {
        const int d = digit_value(c, base);
        if (d < 0) return false;
        if (out > (ULLONG_MAX - static_cast<unsigned>(d)) / base) beyond = true;
        out = out * base + static_cast<unsigned>(d);
    }
    return true;
}

// Splits off the sign; the rest in 'body'.
bool split_sign(const std::string& text, std::string& body) {
    const bool negative = !text.empty() && text[0] == '-';
    body = text.substr(negative ? 1 : 0);
    return negative;
}

struct Suffix {
    const char* text;
    unsigned base;
    int power;
};

const Suffix kSuffixes[] = {{"", 1, 0},      {"b", 1, 0},     {"k", 1024, 1},  {"kib", 1024, 1}, {"kb", 1000, 1},
                            {"m", 1024, 2},  {"mib", 1024, 2}, {"mb", 1000, 2}, {"g", 1024, 3},   {"gib", 1024, 3},
                            {"gb", 1000, 3}, {"t", 1024, 4},   {"tib", 1024, 4}, {"tb", 1000, 4},  {"p", 1024, 5},
                            {"pib", 1024, 5}, {"pb", 1000, 5}, {"e", 1024, 6},   {"eib", 1024, 6}, {"eb", 1000, 6}};

const Suffix* find_suffix(const std::string& text) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const Suffix& s : kSuffixes)
        if (lower == s.text) return &s;
    return nullptr;
}

}  // namespace

const char* const kSizeHelp = "bytes; suffixes K, M, G, T, P (or KiB...) are powers of 1024, KB, MB, GB, TB of 1000";

std::string read_integer(const std::string& text, Number& n) {
    std::string body;
    n = Number{};
    n.negative = split_sign(text, body);
    const bool hex = body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X');
    if (!accumulate(hex ? body.substr(2) : body, hex ? 16 : 10, n.magnitude, n.beyond))
        return "'" + text + "' is not a whole number";
    return "";
}

std::string read_size(const std::string& text, Number& n) {
    std::string body;
    n = Number{};
    n.negative = split_sign(text, body);
    size_t end = 0;
    while (end < body.size() && std::isdigit(static_cast<unsigned char>(body[end]))) ++end;
    const Suffix* suffix = find_suffix(body.substr(end));
    if (!suffix || !accumulate(body.substr(0, end), 10, n.magnitude, n.beyond))
        return "'" + text + "' is not a size (" + kSizeHelp + ")";
    for (int i = 0; i < suffix->power; ++i) {
        if (n.magnitude > ULLONG_MAX / suffix->base) n.beyond = true;
        n.magnitude *= suffix->base;
    }
    return "";
}

std::string check_range(const Number& n, long long lo, unsigned long long hi) {
    bool inside = false;
    if (n.beyond)
        inside = false;
    else if (n.negative)
        inside = n.magnitude == 0 || (lo < 0 && n.magnitude - 1 <= static_cast<unsigned long long>(-(lo + 1)));
    else
        inside = n.magnitude <= hi && (lo <= 0 || n.magnitude >= static_cast<unsigned long long>(lo));
    return inside ? "" : "out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")";
}

std::string decimal(const Number& n) {
    return (n.negative && n.magnitude > 0 ? "-" : "") + std::to_string(n.magnitude);
}

std::string iec_size(long long bytes) {
    if (bytes > -1024 && bytes < 1024) return std::to_string(bytes) + " B";
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    const unsigned long long magnitude =
        bytes < 0 ? static_cast<unsigned long long>(-(bytes + 1)) + 1 : static_cast<unsigned long long>(bytes);
    long double value = static_cast<long double>(magnitude) / 1024;
    size_t unit = 0;
    // Move up while the rounded figure would read 1024.0 or more.
    while (unit + 1 < sizeof kUnits / sizeof *kUnits && std::round(value * 10) >= 10240) {
        value /= 1024;
        ++unit;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%s%.1Lf %s", bytes < 0 ? "-" : "", value, kUnits[unit]);
    return text;
}

}  // namespace dsmtool
