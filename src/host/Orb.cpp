// Host ORB wrapper: ORB initialisation with the configured client bounds
// and object lookup by corbaloc on the server's well-known port.
#include "Orb.h"
#include "kdbase.h"

#include <omniORB4/omniORB.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kDefaultPort = 47210;
constexpr unsigned long kDefaultConnectMs = 5000;
constexpr unsigned long kDefaultCallMs = 30000;

std::string config_text(const char* key) {
    char buf[4096];
    if (kdconf_get_value(key, buf, sizeof buf) != 0) return std::string();
    return buf;
}

unsigned long config_number(const char* key, unsigned long fallback) {
    char buf[64];
    if (kdconf_get_value(key, buf, sizeof buf) != 0 || buf[0] == '\0') return fallback;
    char* end = nullptr;
    unsigned long v = std::strtoul(buf, &end, 10);
    return (end && *end == '\0') ? v : fallback;
}

unsigned long to_ms(const ACE_Time_Value& t) {
    long long ms = static_cast<long long>(t.sec()) * 1000 + t.usec() / 1000;
    return ms > 0 ? static_cast<unsigned long>(ms) : 0;
}

// Where the object is: on the Unix-domain socket <PROCESS>_SOCKET when the
// configuration names one (a service only its own user can reach), else on
// TCP port <PROCESS>_PORT of the host.
std::string locator(const char* host, const char* process, const char* objectName) {
    const std::string socket = config_text((std::string(process) + "_SOCKET").c_str());
    if (!socket.empty()) return "corbaloc:omniunix:" + socket + ":/" + objectName;
    const unsigned long port = config_number((std::string(process) + "_PORT").c_str(), kDefaultPort);
    return "corbaloc::1.2@" + std::string(host) + ":" + std::to_string(port) + "/" + objectName;
}

}  // namespace

Orb::Orb(bool server, const char* name, const char* endpoint, bool useNaming, int maxMessageMB)
    : server_(server), name_(name ? name : ""), endpoint_(endpoint ? endpoint : ""),
      maxMessageMB_(maxMessageMB > 0 ? maxMessageMB : 2) {
    if (useNaming) throw CORBA::BAD_PARAM(0, CORBA::COMPLETED_NO);
}

Orb::~Orb() {
    // The ORB is shared by the whole process (omniORB has one); whoever
    // initialised it first shuts it down.
}

void Orb::init(void*) {
    std::vector<std::string> words = {"kdhost"};
    words.push_back("-ORBgiopMaxMsgSize");
    words.push_back(std::to_string(static_cast<unsigned long long>(maxMessageMB_) * 1024 * 1024));
    if (server_ && !endpoint_.empty()) {
        words.push_back("-ORBendPoint");
        words.push_back(endpoint_);
    }
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    int argc = static_cast<int>(argv.size());
    orb_ = CORBA::ORB_init(argc, argv.data(), name_.empty() ? "omniORB4" : name_.c_str());
    omniORB::setClientConnectTimeout(
        static_cast<CORBA::ULong>(config_number("ORB_CONNECT_TIMEOUT_MS", kDefaultConnectMs)));
    omniORB::setClientCallTimeout(
        static_cast<CORBA::ULong>(config_number("ORB_CALL_TIMEOUT_MS", kDefaultCallMs)));
    if (server_) {
        CORBA::Object_var poa_obj = orb_->resolve_initial_references("RootPOA");
        PortableServer::POA_var poa = PortableServer::POA::_narrow(poa_obj);
        PortableServer::POAManager_var manager = poa->the_POAManager();
        manager->activate();
    }
}

CORBA::Object_ptr Orb::connectToObject(const char* host, const char* process,
                                       const char* objectName, const ACE_Time_Value& bound,
                                       const ACE_Time_Value& retry) {
    if (CORBA::is_nil(orb_) || !host || !*host || !process || !objectName)
        return CORBA::Object::_nil();
    const std::string uri = locator(host, process, objectName);

    const unsigned long bound_ms = to_ms(bound);
    const unsigned long retry_ms = to_ms(retry);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bound_ms);
    for (;;) {
        try {
            CORBA::Object_var obj = orb_->string_to_object(uri.c_str());
            if (bound_ms) omniORB::setClientCallTimeout(obj, static_cast<CORBA::ULong>(bound_ms));
            bool missing = obj->_non_existent();
            if (!missing) {
                // Back to the configured bound for the calls that follow.
                omniORB::setClientCallTimeout(
                    obj, static_cast<CORBA::ULong>(config_number("ORB_CALL_TIMEOUT_MS", kDefaultCallMs)));
                return obj._retn();
            }
        } catch (const CORBA::Exception&) {
            // Nothing answers yet.
        }
        if (retry_ms == 0 || std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(retry_ms));
    }
    return CORBA::Object::_nil();
}

namespace {
OrbService* g_service = nullptr;
}

OrbService* OrbService::Instance() { return g_service; }
void OrbService::install(OrbService* service) { g_service = service; }
