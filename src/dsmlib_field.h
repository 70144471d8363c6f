// Reading a character field of a caller's record. The caller may fill every
// byte of one, leaving no terminator: a field is read at most to its
// declared size, and one with no terminator is taken whole.
#ifndef DSMLIB_FIELD_H
#define DSMLIB_FIELD_H

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace dsm {

template <std::size_t N>
std::string_view field_view(const char (&field)[N]) {
    return {field, strnlen(field, N)};
}

// The field as a terminated string of its own, for the ORB's setters.
template <std::size_t N>
std::string field_text(const char (&field)[N]) {
    return std::string(field_view(field));
}

}  // namespace dsm

#endif
