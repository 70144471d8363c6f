// Runs dsmtool as a child process, as a person or a script would, and
// captures what it printed and how it exited; with the bundled service's
// fixture, also the base fixture of the tests that run against it.
#ifndef DSM_TESTS_TOOLRUN_H
#define DSM_TESTS_TOOLRUN_H

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iomanip>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace dsmtest {

using nlohmann::json;
using Args = std::vector<std::string>;
using Names = std::vector<std::pair<std::string, std::string>>;

inline std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ToolResult {
    int exit = -1;  // exit code, or 128 + signal
    std::string out;
    std::string err;

    // stdout parsed as JSON (failing the test when it is not JSON).
    nlohmann::json json() const {
        nlohmann::json j = nlohmann::json::parse(out, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << "not JSON:\n" << out;
        return j;
    }
};

// Runs the built dsmtool with this command line: split at spaces, with '...'
// around a word that holds spaces (or is empty). What it prints goes to
// files, so that a service it starts holds no pipe.
inline ToolResult run_tool(const std::string& line) {
    std::istringstream in(line);
    Args args;
    for (std::string word; in >> std::quoted(word, '\'');) args.push_back(word);
    std::vector<char*> argv{const_cast<char*>(DSMTOOL_EXE)};
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const std::string out = ::testing::TempDir() + "dsmtool-" + std::to_string(getpid()), err = out + ".err";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ToolResult r{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), read_file(out), read_file(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

// run_tool, expecting exit code 'code'.
inline ToolResult expect_exit(int code, const std::string& line) {
    ToolResult r = run_tool(line);
    EXPECT_EQ(r.exit, code) << "dsmtool " << line << "\nstdout: " << r.out << "\nstderr: " << r.err;
    return r;
}

inline ToolResult run_ok(const std::string& line) { return expect_exit(0, line); }

inline nlohmann::json run_json(const std::string& line) { return run_ok("--json " + line).json(); }

// Runs each command line and gives what a terminal would show: the line,
// what dsmtool printed, and its exit code when not 0. Object ids, which
// depend on what ran before, read as N, and each text in 'names' as its name.
inline std::string transcript(const std::vector<std::string>& lines,
                              const Names& names = {}) {
    std::string t;
    for (const std::string& line : lines) {
        const ToolResult r = run_tool(line);
        t += "$ dsmtool " + line + "\n" + r.out + r.err;
        if (r.exit != 0) t += "[exit " + std::to_string(r.exit) + "]\n";
    }
    Names all = names;
    all.emplace_back(DSMTOOL_EXE, "dsmtool");  // as usage lines name the program run
    for (const auto& [text, name] : all)
        for (size_t at = t.find(text); at != std::string::npos; at = t.find(text, at + name.size()))
            t.replace(at, text.size(), name);
    return std::regex_replace(t, std::regex("(\\b(?:dg|dv|ss)-|@aaa)[0-9]+"), "$1N");
}

// Compares 'text' with a file below tests/tool/expected as a whole (with
// DSMTOOL_WRITE_EXPECTED set, writes the file instead, and fails).
inline void expect_whole(const std::string& text, const std::string& name) {
    if (getenv("DSMTOOL_WRITE_EXPECTED")) {
        std::ofstream(DSMTOOL_EXPECTED_DIR "/" + name) << text;
        ADD_FAILURE() << "wrote " << name;
    }
    EXPECT_EQ(text, read_file(DSMTOOL_EXPECTED_DIR "/" + name));
}

inline ::testing::AssertionResult has(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

}  // namespace dsmtest

#if __has_include("PoolHelpers.h")  // built with the bundled service's fixture
#include "PoolHelpers.h"

namespace dsmtest {

class ToolTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        // The tool is the service's client; this process only reads back what
        // the service received, and its ORB needs the value factories for that.
        ASSERT_EQ(dsmlib_ping(), DSM_OK);
    }
    void TearDown() override { configure(service().address(), service().port()); }

    void configure(const std::string& host, int port, const std::string& more = "") {
        ServiceEnvironment::get().config().write(service_config(host, port) + more);
    }

    CORBA::ULong calls() { return DsmControl::StringSeq_var(control()->callLog())->length(); }

    // The properties of the value sent as argument 'index' of the last call
    // of 'op', and the values of those named 'name'.
    template <class T>
    Props sent_props(const char* op, CORBA::ULong index = 0) {
        typename T::_var_type value = last_argument<T>(control(), op, index);
        return value.in() ? props_of(value->properties()) : Props();
    }
    template <class T>
    Args sent(const char* op, const std::string& name, CORBA::ULong index = 0) {
        Args out;
        for (auto& p : sent_props<T>(op, index))
            if (p.first == name) out.push_back(p.second);
        return out;
    }

    CORBA::Long sent_long(const char* op, CORBA::ULong index) {
        CORBA::Long value = -1;
        DsmControl::AnySeq_var args = control()->lastArguments(op);
        EXPECT_TRUE(index < args->length() && (args[index] >>= value)) << op;
        return value;
    }

    template <class T>
    void seed_value(T* value) {
        CORBA::Any a;
        a <<= value;  // copies
        control()->seed(a);
    }

    // A server the service already knows, with properties the tool cannot set.
    void seed_server(const std::string& name, const std::string& type, const Props& props) {
        auto* host = new OBV_DS::StorageServer;
        host->name(name.c_str());
        host->servertype(type.c_str());
        host->type(6);
        for (auto& p : props) add_property(host->properties(), p.first.c_str(), p.second);
        DS::StorageServerInfo_var info = new OBV_DS::StorageServerInfo;
        info->host(adopt(host));
        info->name(name.c_str());
        seed_value(info.in());
    }
};

}  // namespace dsmtest
#endif

#endif
