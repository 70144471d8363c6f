// Runs dsmtool as a child process, as a person or a script would, and
// captures what it printed and how it exited.
#ifndef DSM_TESTS_TOOLRUN_H
#define DSM_TESTS_TOOLRUN_H

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <string>
#include <vector>

namespace dsmtest {

struct ToolResult {
    int exit = -1;  // exit code, or 128 + signal
    std::string out;
    std::string err;
    // stdout parsed as JSON (fails the test when it is not JSON).
    nlohmann::json json() const;
};

// Runs the built dsmtool with these arguments and the test's environment,
// waiting at most 20 s.
ToolResult run_tool(const std::vector<std::string>& args);

// run_tool, expecting exit code 'code' (reported with the command line and
// what it printed when it differs).
ToolResult expect_exit(int code, const std::vector<std::string>& args);
inline ToolResult run_ok(const std::vector<std::string>& args) { return expect_exit(0, args); }

// The text of a file below tests/tool/expected.
std::string expected(const std::string& name);

}  // namespace dsmtest

#endif
