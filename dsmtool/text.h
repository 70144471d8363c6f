// Text as people type and read it: UTF-8 checked on the way in, made safe
// on the way out (other programs may store any bytes in a name), and
// measured in terminal columns.
#ifndef DSMTOOL_TEXT_H
#define DSMTOOL_TEXT_H

#include <cstddef>
#include <string>

namespace dsmtool {

// Whether 'text' is well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF).
bool valid_utf8(const std::string& text);

// 'text' with every byte that is not part of a well-formed UTF-8 sequence
// replaced by U+FFFD; well-formed text is returned unchanged.
std::string replace_invalid_utf8(const std::string& text);

// Columns a terminal gives well-formed UTF-8 text: combining marks take
// none, East Asian wide and fullwidth characters two.
size_t display_width(const std::string& text);

}  // namespace dsmtool

#endif
