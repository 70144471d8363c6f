// Numbers as administrators type them and sizes as they read them. A number
// is taken exactly as typed or refused: never clamped, wrapped or read as
// octal.
#ifndef DSMTOOL_UNITS_H
#define DSMTOOL_UNITS_H

#include <string>

namespace dsmtool {

// A whole number read from the command line, with its sign kept apart so
// that every 64-bit value, signed or not, fits.
struct Number {
    bool negative = false;
    unsigned long long magnitude = 0;
    bool beyond = false;  // more than 64 bits: out of every range
};

// Reads decimal digits (or hexadecimal after 0x), with an optional leading
// '-'. Returns "" and fills 'n', or says what is wrong.
std::string read_integer(const std::string& text, Number& n);

// Reads a byte count: an integer with an optional suffix. K, M, G, T, P and
// E, alone or followed by "iB", are powers of 1024; KB, MB, GB, TB, PB and
// EB powers of 1000; B is bytes; case does not matter.
std::string read_size(const std::string& text, Number& n);

// Whether 'n' lies in lo..hi; an empty string, or why not (naming the range).
std::string check_range(const Number& n, long long lo, unsigned long long hi);

// The number as plain decimal digits.
std::string decimal(const Number& n);

// Bytes in IEC units for people: "512 B", "1.5 GiB", "1.0 TiB".
std::string iec_size(long long bytes);

// What --help says size options take.
extern const char* const kSizeHelp;

}  // namespace dsmtool

#endif
