#include "embedded.h"

#include "config.h"
#include "dsm.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace dsmtool {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kReadyWait = std::chrono::seconds(10);
// A ping of the recorded service: the call bound, and when to say it is slow.
constexpr auto kPingBound = std::chrono::milliseconds(10000);
constexpr auto kSlowPing = std::chrono::milliseconds(1500);
constexpr auto kStopWait = std::chrono::seconds(5);
constexpr auto kPoll = std::chrono::milliseconds(10);

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The process's start time in clock ticks since boot (field 22 of
// /proc/PID/stat), or "" when there is no such process or it is a zombie.
// Recorded with the pid, it tells our service from a process that later
// got the same pid.
std::string start_time(pid_t pid) {
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');  // the command name may hold spaces
    if (close == std::string::npos) return "";
    std::istringstream fields(stat.substr(close + 1));
    std::string state, field;
    fields >> state;
    if (state == "Z" || state == "X") return "";
    for (int i = 4; i <= 22 && fields >> field; ++i) {
    }
    return field;
}

struct Recorded {
    pid_t pid = -1;
    std::string started;
};

Recorded read_pid_file(const std::string& path) {
    Recorded r;
    std::ifstream in(path);
    long pid = -1;
    if (in >> pid >> r.started && pid > 0) r.pid = static_cast<pid_t>(pid);
    return r;
}

bool alive(const Recorded& r) { return r.pid > 0 && !r.started.empty() && start_time(r.pid) == r.started; }

// The first line of the ready file the service writes: where it listens.
std::string read_ready(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Writes through a temporary file so that readers never see half of it;
// like everything in the state directory, the file is the user's alone.
void write_file(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) ::close(fd);
    if (!written) throw ServiceError("cannot write " + tmp);
    if (std::rename(tmp.c_str(), path.c_str()) != 0) throw ServiceError("cannot write " + path);
}

std::string config_text(const std::string& socket, const std::string& catalog) {
    return "# The per-user DiskServiceMgr started by dsmtool; rewritten at each start.\n"
           "EMM_SERVER = 127.0.0.1\n"
           "SERVER = 127.0.0.1\n"
           "KDDSMFSM_SOCKET = " + socket + "\n"
           "ORB_CONNECT_TIMEOUT_MS = 2000\n"
           "ORB_CALL_TIMEOUT_MS = " + std::to_string(kPingBound.count()) + "\n"
           "CATALOG_DIR = " + catalog + "\n"
           "DEVICE_MAPPINGS_FILE = " + catalog + "/maps\n";
}

// Says on stderr what is happening when a ping has not answered within a
// second and a half, rather than leaving the user with seconds of silence.
class SlowPingNotice {
public:
    explicit SlowPingNotice(pid_t pid) : thread_([this, pid] { watch(pid); }) {}
    ~SlowPingNotice() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    SlowPingNotice(const SlowPingNotice&) = delete;
    SlowPingNotice& operator=(const SlowPingNotice&) = delete;

private:
    void watch(pid_t pid) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, kSlowPing, [this] { return done_; })) return;
        std::fprintf(stderr,
                     "dsmtool: the per-user DiskServiceMgr (pid %ld) has not answered for %.1f s; "
                     "waiting up to %lld s before replacing it\n",
                     static_cast<long>(pid), std::chrono::duration<double>(kSlowPing).count(),
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(kPingBound).count()));
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

// Serialises the dsmtool processes of one user around start and stop, so
// that two first calls at once start one service.
class DirLock {
public:
    explicit DirLock(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) throw ServiceError("cannot lock " + path);
    }
    ~DirLock() { ::close(fd_); }
    DirLock(const DirLock&) = delete;
    DirLock& operator=(const DirLock&) = delete;

private:
    int fd_;
};

// Runs argv in a new session, detached from this process (its parent exits
// at once, so it is nobody's child here), stdin from /dev/null and both
// outputs appended to 'log'. Returns its pid.
pid_t spawn_detached(const std::vector<std::string>& args, const std::string& log) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw ServiceError("pipe failed");
    const pid_t child = ::fork();
    if (child < 0) throw ServiceError("fork failed");
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        ::setsid();
        const pid_t service = ::fork();
        if (service == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (in < 0 || out < 0) ::_exit(126);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(out, 2);
            // Whatever the caller's pipes were, the service must not hold them.
            ::close_range(3, ~0U, 0);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        const ssize_t n = ::write(fds[1], &service, sizeof service);
        ::_exit(n == sizeof service ? 0 : 1);
    }
    ::close(fds[1]);
    pid_t service = -1;
    const ssize_t n = ::read(fds[0], &service, sizeof service);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (n != sizeof service || service <= 0) throw ServiceError("could not start " + args[0]);
    return service;
}

std::string self_dir() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

bool answers(const std::string& config) {
    use_config(config, "written by dsmtool for the per-user service");
    // Reread the configuration: the service may have moved under the same name.
    if (!dsmlib_set_emmserver(nullptr)) return false;
    return dsmlib_ping() == DSM_OK;
}

std::string service_executable() {
    if (const char* env = std::getenv("DSMTOOL_SERVICE"); env && *env) {
        if (::access(env, X_OK) != 0) throw ServiceError(std::string(env) + " (DSMTOOL_SERVICE) is not executable");
        return env;
    }
    const std::string dir = self_dir();
    for (const std::string& candidate : {dir + "/dsmservice", dir + "/../server/dsmservice"})
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    throw ServiceError("dsmservice not found beside " + dir + " (set DSMTOOL_SERVICE)");
}

EmbeddedService::EmbeddedService() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st;
    const bool usable = runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode);
    dir_ = usable ? std::string(runtime) + "/dsmtool" : "/tmp/dsmtool-" + std::to_string(::getuid());
}

void EmbeddedService::prepare_dir() const {
    if (::mkdir(dir_.c_str(), 0700) != 0 && errno != EEXIST)
        throw ServiceError("cannot create " + dir_ + ": " + std::strerror(errno));
    // In a shared /tmp someone else may have made it first: it must be ours.
    struct stat st;
    if (::lstat(dir_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        throw ServiceError(dir_ + " is not a directory of this user");
    if ((st.st_mode & 077) != 0 && ::chmod(dir_.c_str(), 0700) != 0)
        throw ServiceError("cannot make " + dir_ + " private");
    const std::string catalog = path("catalog");
    if (::mkdir(catalog.c_str(), 0700) != 0 && errno != EEXIST) throw ServiceError("cannot create " + catalog);
}

ServiceState EmbeddedService::status() const {
    ServiceState s;
    s.dir = dir_;
    s.config = path("xq.conf");
    s.log = path("service.log");
    s.db = path("service.db");
    const Recorded r = read_pid_file(path("pid"));
    s.running = alive(r);
    if (s.running) {
        s.pid = r.pid;
        s.socket = read_ready(path("ready"));
    }
    return s;
}

ServiceState EmbeddedService::ensure() {
    prepare_dir();
    DirLock lock(path("lock"));
    ServiceState s = status();
    if (s.running && exists(s.config)) {
        bool answered = false;
        {
            SlowPingNotice notice(s.pid);
            answered = answers(s.config);
        }
        if (answered) return s;
    }
    if (s.running) {
        // Alive but deaf: replace it.
        std::fprintf(stderr, "dsmtool: the per-user DiskServiceMgr (pid %ld) does not answer; replacing it\n",
                     static_cast<long>(s.pid));
        stop_pid(s.pid);
    }
    s = start();
    std::fprintf(stderr, "dsmtool: started the per-user DiskServiceMgr (pid %ld) on %s\n",
                 static_cast<long>(s.pid), s.socket.c_str());
    return s;
}

ServiceState EmbeddedService::start() {
    forget();
    const std::string exe = service_executable();
    // The objects live in the state directory's database: they outlive the
    // service, so a replaced or restarted one still knows them. The socket
    // in the private directory makes the service this user's alone.
    const std::vector<std::string> args = {exe, "--socket", path("service.sock"), "--ready-file", path("ready"),
                                           "--db", path("service.db")};
    const pid_t pid = spawn_detached(args, path("service.log"));
    const std::string started = start_time(pid);
    write_file(path("pid"), std::to_string(pid) + " " + started + "\n");
    const auto deadline = Clock::now() + kReadyWait;
    std::string socket;
    while ((socket = read_ready(path("ready"))).empty()) {
        if (Clock::now() >= deadline || started.empty() || start_time(pid) != started) {
            stop_pid(pid);
            forget();
            throw ServiceError(exe + " did not start; see " + path("service.log"));
        }
        std::this_thread::sleep_for(kPoll);
    }
    write_file(path("xq.conf"), config_text(socket, path("catalog")));
    ServiceState s = status();
    if (!answers(s.config)) throw ServiceError("the service on " + socket + " does not answer");
    return s;
}

void EmbeddedService::stop_pid(pid_t pid) const {
    const Recorded r = read_pid_file(path("pid"));
    if (r.pid != pid || !alive(r)) return;
    ::kill(pid, SIGTERM);
    auto deadline = Clock::now() + kStopWait;
    while (alive(r) && Clock::now() < deadline) std::this_thread::sleep_for(kPoll);
    if (!alive(r)) return;
    ::kill(pid, SIGKILL);
    deadline = Clock::now() + kStopWait;
    while (alive(r) && Clock::now() < deadline) std::this_thread::sleep_for(kPoll);
}

void EmbeddedService::forget() const {
    for (const char* name : {"pid", "ready", "service.sock", "xq.conf"}) std::remove(path(name).c_str());
}

bool EmbeddedService::stop() {
    if (!exists(dir_)) return false;
    DirLock lock(path("lock"));
    const ServiceState s = status();
    if (s.running) stop_pid(s.pid);
    forget();
    return s.running;
}

}  // namespace dsmtool
