// What was wrong with a command line, said as administrators expect: the
// unknown word named, with the closest command or option it may have meant.
#ifndef DSMTOOL_USAGE_H
#define DSMTOOL_USAGE_H

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace dsmtool {

struct UsageFault {
    std::string path;        // "pool": the deepest command recognised ("" for none)
    std::string message;     // "unknown command 'pol'; did you mean 'pool'?"
    std::string suggestion;  // "pool", or empty
};

// After 'root' failed to parse.
UsageFault describe_usage_fault(const CLI::App& root, const CLI::ParseError& e);

// The candidate closest to 'word' when it is close enough to be a likely
// typing slip, else "".
std::string closest(const std::string& word, const std::vector<std::string>& candidates);

// "pool list": the command's words after "dsmtool".
std::string command_path(const CLI::App& app);

// The commands below 'app', and the long options it takes (its own and
// those of every command above it).
std::vector<std::string> command_names(const CLI::App& app);
std::vector<std::string> option_names(const CLI::App& app);

}  // namespace dsmtool

#endif
