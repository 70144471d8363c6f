// The product configuration as dsmtool sees it: which file the library
// reads and why that one, where it will look for DiskServiceMgr, and the
// host log the fast backup checks write their reasons to.
#ifndef DSMTOOL_CONFIG_H
#define DSMTOOL_CONFIG_H

#include <map>
#include <string>
#include <vector>

namespace dsmtool {

// A product configuration file ("KEY = value" lines, '#' comments; the
// first line of a key counts, as in the library).
struct ConfigFile {
    std::string path;
    std::string origin;  // why this file: "named by KDCONF_FILE", ...
    bool readable = false;
    std::map<std::string, std::string> values;
    const std::string* find(const std::string& key) const;
};

// The file the library reads now.
ConfigFile current_config();

// Points the library at 'path' for the rest of the run; 'origin' says why.
void use_config(const std::string& path, const std::string& origin);

// Where the library looks for DiskServiceMgr, and where each part of that
// came from.
struct Endpoint {
    std::string host;    // empty: none configured
    std::string socket;  // when set, host and port do not matter
    unsigned long port = 0;
    std::string host_origin, port_origin;  // the socket's in port_origin
    std::string where() const;             // "host:port" or the socket's path
    std::string origin() const;
};

// 'emm_server' is --emm-server, empty when not given.
Endpoint current_endpoint(const std::string& emm_server);

// One line saying that DiskServiceMgr could not be reached, where, and why
// there.
std::string unreachable(const std::string& emm_server);

// The host layer's log lines ("[function] text"), written to a private
// temporary file while this lives. Made before the first library call: the
// host resolves its log file once.
class HostLog {
public:
    HostLog();
    ~HostLog();
    HostLog(const HostLog&) = delete;
    HostLog& operator=(const HostLog&) = delete;
    std::vector<std::string> lines() const;
};

}  // namespace dsmtool

#endif
