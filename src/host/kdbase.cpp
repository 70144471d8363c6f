// Host base library: configuration file, bounded strings, plain log lines,
// product status texts and the log sink shared by every host channel.
#include "kdbase.h"
#include "hostlog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string key;
    std::string value;
};

std::string trim(const std::string& s) {
    const char* ws = " \t\r\n";
    size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

// Reads the whole file; false when it is missing, unreadable or malformed.
bool read_config(std::vector<Entry>& out) {
    FILE* f = std::fopen(kdconf_path(), "r");
    if (!f) return false;
    bool ok = true;
    std::string line;
    int c;
    auto flush = [&]() {
        std::string t = trim(line);
        line.clear();
        if (t.empty() || t[0] == '#') return;
        size_t eq = t.find('=');
        if (eq == std::string::npos || trim(t.substr(0, eq)).empty()) {
            ok = false;
            return;
        }
        out.push_back({trim(t.substr(0, eq)), trim(t.substr(eq + 1))});
    };
    while ((c = std::fgetc(f)) != EOF) {
        if (c == '\n')
            flush();
        else
            line.push_back(static_cast<char>(c));
    }
    flush();
    if (std::ferror(f)) ok = false;
    std::fclose(f);
    return ok;
}

std::mutex g_sink_mutex;
kdhost_log_sink_t g_sink = nullptr;

// The default destination: the file named by HOST_LOG_FILE, resolved once.
FILE* default_log_file() {
    static FILE* file = [] {
        char path[1024];
        if (kdconf_get_value("HOST_LOG_FILE", path, sizeof path) != 0 || path[0] == '\0')
            return static_cast<FILE*>(nullptr);
        return std::fopen(path, "a");
    }();
    return file;
}

}  // namespace

namespace kdhost {

bool log_enabled() {
    {
        std::lock_guard<std::mutex> lock(g_sink_mutex);
        if (g_sink) return true;
    }
    return default_log_file() != nullptr;
}

void emit(const char* channel, int level, const char* function, const char* text) {
    kdhost_log_sink_t sink;
    {
        std::lock_guard<std::mutex> lock(g_sink_mutex);
        sink = g_sink;
    }
    const char* fn = function ? function : "";
    const char* tx = text ? text : "";
    if (sink) {
        sink(channel, level, fn, tx);
        return;
    }
    if (FILE* f = default_log_file()) {
        std::lock_guard<std::mutex> lock(g_sink_mutex);
        std::fprintf(f, "%s %d %s: %s\n", channel, level, fn, tx);
        std::fflush(f);
    }
}

}  // namespace kdhost

extern "C" {

const char* kdconf_path(void) {
    const char* env = std::getenv("KDCONF_FILE");
    return (env && *env) ? env : KDCONF_DEFAULT_PATH;
}

int kdconf_get_info(kdconf_info_t** info) {
    if (!info) return EINVAL;
    *info = nullptr;
    std::vector<Entry> entries;
    if (!read_config(entries)) return ENOENT;
    auto* rec = static_cast<kdconf_info_t*>(std::calloc(1, sizeof(kdconf_info_t)));
    if (!rec) return ENOMEM;
    size_t servers = 0;
    for (const Entry& e : entries) servers += e.key == "SERVER";
    if (servers) {
        rec->servers = static_cast<char(*)[KDCONF_NAME_LEN]>(std::calloc(servers, KDCONF_NAME_LEN));
        if (!rec->servers) {
            std::free(rec);
            return ENOMEM;
        }
    }
    bool have_emm = false;
    for (const Entry& e : entries) {
        if (e.key == "EMM_SERVER" && !have_emm) {
            V_strlcpy(rec->emm_server, e.value.c_str(), sizeof rec->emm_server);
            have_emm = true;
        } else if (e.key == "SERVER") {
            V_strlcpy(rec->servers[rec->num_servers++], e.value.c_str(), KDCONF_NAME_LEN);
        }
    }
    *info = rec;
    return 0;
}

void kdconf_free_info(kdconf_info_t** info) {
    if (!info || !*info) return;
    std::free((*info)->servers);
    std::free(*info);
    *info = nullptr;
}

int kdconf_get_value(const char* key, char* buf, size_t size) {
    if (!key || !buf || size == 0) return EINVAL;
    std::vector<Entry> entries;
    if (!read_config(entries)) return ENOENT;
    for (const Entry& e : entries) {
        if (e.key == key) {
            V_strlcpy(buf, e.value.c_str(), size);
            return 0;
        }
    }
    return ENOENT;
}

size_t V_strlcpy(char* dst, const char* src, size_t size) {
    size_t len = src ? std::strlen(src) : 0;
    if (dst && size > 0) {
        size_t n = len < size - 1 ? len : size - 1;
        if (n) std::memmove(dst, src, n);
        dst[n] = '\0';
    }
    return len;
}

size_t V_strlncpy(char* dst, const char* src, size_t n, size_t size) {
    if (!dst || size == 0) return 0;
    size_t limit = n < size - 1 ? n : size - 1;
    size_t copied = 0;
    if (src)
        while (copied < limit && src[copied] != '\0') ++copied;
    if (copied) std::memmove(dst, src, copied);
    dst[copied] = '\0';
    return copied;
}

int V_snprintf(char* buf, size_t size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(size ? buf : nullptr, size, fmt, ap);
    va_end(ap);
    if (n < 0 && buf && size) buf[0] = '\0';
    return n;
}

void logmsg(int level, const char* text, const char* function) {
    char line[2148];
    V_strlcpy(line, text, sizeof line);
    kdhost::emit("logmsg", level, function, line);
}

const char* getECmsg(int status) {
    switch (status) {
    case 0: return "the requested operation was successfully completed";
    case 20: return "invalid command parameter";
    case 36: return "failed trying to allocate memory";
    case 144: return "invalid command usage";
    case 220: return "database system error";
    case 227: return "no entry was found";
    case 5300: return "the destination does not support fast backups";
    case 5301: return "the storage server does not support fast backups";
    case 5302: return "the policy does not qualify for fast backups";
    default: return "unknown status";
    }
}

const char* getTornelString(const char* key) {
    // One static buffer per process, as callers of this interface expect.
    static char value[1024];
    static std::mutex lock;
    if (!key) return nullptr;
    std::lock_guard<std::mutex> guard(lock);
    if (kdconf_get_value(key, value, sizeof value) != 0) return nullptr;
    return value;
}

void kdhost_set_log_sink(kdhost_log_sink_t sink) {
    std::lock_guard<std::mutex> lock(g_sink_mutex);
    g_sink = sink;
}

}  // extern "C"
