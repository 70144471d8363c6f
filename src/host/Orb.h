// Host ORB wrapper: the process's ORB and object lookup.
#ifndef KDHOST_ORB_H
#define KDHOST_ORB_H

#include <omniORB4/CORBA.h>
#include <ace/Time_Value.h>
#include <string>

class Orb {
public:
    // server: the process serves objects (activates the POA manager);
    // name: the ORB id; endpoint: an omniORB endpoint URI for servers ("" for
    // none); useNaming: resolve through a naming service (unsupported: must
    // be false); maxMessageMB: largest GIOP message in MiB, both directions.
    Orb(bool server, const char* name, const char* endpoint, bool useNaming, int maxMessageMB);
    virtual ~Orb();
    Orb(const Orb&) = delete;
    Orb& operator=(const Orb&) = delete;

    // Initialises the ORB. The timer queue is accepted for compatibility and
    // may be null. Raises CORBA exceptions on failure. Applies the client
    // bounds of the configuration: ORB_CONNECT_TIMEOUT_MS (default 5000) and
    // ORB_CALL_TIMEOUT_MS (default 30000).
    void init(void* timerQueue);

    // The CORBA ORB (borrowed; nil before init).
    CORBA::ORB_ptr orb() const { return orb_.in(); }

    // Locates object 'objectName' of server process 'process' on 'host'.
    // The port comes from the configuration key <process>_PORT (default
    // 47210). The first time value bounds the lookup (connect and reply); the
    // second is the pause between retries, zero for none. Returns a new
    // reference, or nil when nothing answers within the bound.
    CORBA::Object_ptr connectToObject(const char* host, const char* process,
                                      const char* objectName, const ACE_Time_Value& bound,
                                      const ACE_Time_Value& retry);

private:
    bool server_;
    std::string name_;
    std::string endpoint_;
    int maxMessageMB_;
    CORBA::ORB_var orb_;
};

// The process's ORB service, when the process has installed one.
class OrbService {
public:
    static OrbService* Instance();                 // null when none installed
    static void install(OrbService* service);      // the process keeps ownership
    explicit OrbService(Orb* orb) : orb_(orb) {}
    Orb* orb() const { return orb_; }

private:
    Orb* orb_;
};

#endif
