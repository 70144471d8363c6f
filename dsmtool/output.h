// One renderer for every command: the JSON a command hands back is printed
// as it is for scripts, or as virsh-like tables and "Key: value" records for
// people.
#ifndef DSMTOOL_OUTPUT_H
#define DSMTOOL_OUTPUT_H

#include "tool.h"

#include <ostream>

namespace dsmtool {

// --json: the data. Otherwise the message when there is one, else a list as
// a table of its columns (a list of names one per line), a record as aligned
// "Key: value" lines with its lists as tables below. Sizes read in IEC units
// ("1.0 TiB") unless --bytes asks for exact bytes; JSON has bytes always.
void render(const Reply& reply, const Globals& globals, std::ostream& out);

// JSON as dsmtool prints it. Text with bytes that are not UTF-8 (other
// programs may store any bytes in a name) has each such byte replaced by
// U+FFFD, as tables do, so that one bad name never spoils the whole output.
void print_json(const Json& data, std::ostream& out);

// "total_capacity" -> "Total capacity".
std::string heading(const std::string& key);

}  // namespace dsmtool

#endif
