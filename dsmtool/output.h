// One renderer for every command: the JSON a command hands back is printed
// as it is for scripts, or as virsh-like tables and "Key: value" records for
// people.
#ifndef DSMTOOL_OUTPUT_H
#define DSMTOOL_OUTPUT_H

#include "tool.h"

#include <ostream>

namespace dsmtool {

// --json: the data. Otherwise the message when there is one, else a list as
// a table of its columns, a record as aligned "Key: value" lines with its
// lists as tables below.
void render(const Reply& reply, bool json, std::ostream& out);

// "total_capacity" -> "Total capacity".
std::string heading(const std::string& key);

}  // namespace dsmtool

#endif
