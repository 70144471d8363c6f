#include "config.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace dsmtool {

namespace {

// The host layer's defaults; the tool sees only the public header, so they
// are repeated here for the messages.
const char* const kDefaultConfig = "/etc/keldra/xq.conf";
constexpr unsigned long kDefaultPort = 47210;

struct Current {
    std::string path, origin;
    std::string log_dir;  // set while a HostLog lives
};

Current& current() {
    static Current c = [] {
        const char* env = std::getenv("KDCONF_FILE");
        const bool named = env && *env;
        return Current{named ? env : kDefaultConfig, named ? "named by KDCONF_FILE" : "the default file", ""};
    }();
    return c;
}

std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(" \t\r\n") + 1 - b);
}

// The library's reading of the file: a line that is not KEY = value makes
// the whole file unreadable.
bool parse(std::ifstream& in, std::map<std::string, std::string>& values) {
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || trim(line.substr(0, eq)).empty()) return false;
        values.emplace(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
    return true;
}

// "KEY in FILE (ORIGIN)".
std::string key_in(const ConfigFile& file, const char* key) {
    return std::string(key) + " in " + file.path + " (" + file.origin + ")";
}

std::string host_origin(const ConfigFile& file, const std::string& emm_server) {
    if (!emm_server.empty()) return "host from --emm-server";
    if (file.find("EMM_SERVER")) return "host from " + key_in(file, "EMM_SERVER");
    const std::string where = file.path + " (" + file.origin + ")";
    return file.readable ? "no EMM_SERVER in " + where : where + " cannot be read";
}

std::string overlay_path(const std::string& dir) { return dir + "/xq.conf"; }
std::string log_path(const std::string& dir) { return dir + "/host.log"; }

// The configuration with the host log file named first (the first line of
// a key counts), so that the file's own HOST_LOG_FILE gives way.
void write_overlay(const Current& c) {
    std::ofstream out(overlay_path(c.log_dir), std::ios::trunc);
    out << "HOST_LOG_FILE = " << log_path(c.log_dir) << "\n";
    std::ifstream in(c.path);
    if (in) out << in.rdbuf();
    if (!out) throw std::runtime_error("cannot write " + overlay_path(c.log_dir));
}

}  // namespace

const std::string* ConfigFile::find(const std::string& key) const {
    const auto it = values.find(key);
    return it == values.end() || it->second.empty() ? nullptr : &it->second;
}

ConfigFile current_config() {
    ConfigFile file;
    file.path = current().path;
    file.origin = current().origin;
    std::ifstream in(file.path);
    file.readable = in && parse(in, file.values);
    if (!file.readable) file.values.clear();
    return file;
}

void use_config(const std::string& path, const std::string& origin) {
    Current& c = current();
    c.path = path;
    c.origin = origin;
    if (!c.log_dir.empty()) write_overlay(c);
    ::setenv("KDCONF_FILE", c.log_dir.empty() ? path.c_str() : overlay_path(c.log_dir).c_str(), 1);
}

std::string Endpoint::where() const { return socket.empty() ? host + ":" + std::to_string(port) : socket; }

std::string Endpoint::origin() const { return socket.empty() ? host_origin + "; " + port_origin : port_origin; }

Endpoint current_endpoint(const std::string& emm_server) {
    const ConfigFile file = current_config();
    Endpoint e;
    if (const std::string* socket = file.find("KDDSMFSM_SOCKET")) {
        e.socket = *socket;
        e.port_origin = "socket from " + key_in(file, "KDDSMFSM_SOCKET");
        return e;
    }
    const std::string* host = file.find("EMM_SERVER");
    e.host = !emm_server.empty() ? emm_server : host ? *host : "";
    e.host_origin = host_origin(file, emm_server);
    const std::string* port = file.find("KDDSMFSM_PORT");
    char* end = nullptr;
    const unsigned long configured = port ? std::strtoul(port->c_str(), &end, 10) : 0;
    const bool from_file = port && end && *end == '\0';
    e.port = from_file ? configured : kDefaultPort;
    e.port_origin = "port " + (from_file ? "from " + key_in(file, "KDDSMFSM_PORT") : std::to_string(kDefaultPort) +
                                                                                          " by default");
    return e;
}

std::string unreachable(const std::string& emm_server) {
    const Endpoint e = current_endpoint(emm_server);
    if (e.socket.empty() && e.host.empty()) return "no EMM server to ask: " + e.host_origin + "; give --emm-server";
    return "DiskServiceMgr does not answer at " + e.where() + " (" + e.origin() + ")";
}

HostLog::HostLog() {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/dsmtool-log-XXXXXX";
    if (!::mkdtemp(&templ[0])) throw std::runtime_error("cannot create a directory for the host log");
    Current& c = current();
    c.log_dir = templ;
    use_config(c.path, c.origin);
}

HostLog::~HostLog() {
    Current& c = current();
    const std::string dir = c.log_dir;
    c.log_dir.clear();
    ::setenv("KDCONF_FILE", c.path.c_str(), 1);
    std::remove(overlay_path(dir).c_str());
    std::remove(log_path(dir).c_str());
    ::rmdir(dir.c_str());
}

std::vector<std::string> HostLog::lines() const {
    // "logmsg LEVEL FUNCTION: TEXT"; the other channels trace the library.
    static const std::string kChannel = "logmsg ";
    std::vector<std::string> out;
    std::ifstream in(log_path(current().log_dir));
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, kChannel.size(), kChannel) != 0) continue;
        const size_t function = line.find(' ', kChannel.size());
        const size_t colon = line.find(": ", function);
        if (function == std::string::npos || colon == std::string::npos) continue;
        out.push_back("[" + line.substr(function + 1, colon - function - 1) + "] " + line.substr(colon + 2));
    }
    return out;
}

}  // namespace dsmtool
