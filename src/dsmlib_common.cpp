// ORB, EMM and master server settings, database mode, value-factory
// registration and the connection to DiskServiceMgr.
#include "dsmlib_internal.h"
#include "dsmlib_frame.h"
#include "dsmlib_log.h"

#include "DiskServiceRegistrar.h"
#include "FrameworkRegistrar.h"
#include "Orb.h"
#include "kdbase.h"

#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#define DSM_UNIT "dsmlib_common"

namespace {

constexpr size_t kNameSize = 257;
// Names are kept to 255 characters, whatever the buffers could hold.
constexpr size_t kNameCopy = 256;

// Settings: callers make them before going multi-threaded.
char g_emm[kNameSize];
bool g_emm_set = false;
char g_master[kNameSize];
bool g_master_set = false;

// The ORB may be made by the first call of any thread; the lock keeps two
// threads from making two.
std::atomic<Orb*> g_orb{nullptr};
std::mutex g_orb_mutex;

// Two threads may register the factories at once (registering twice is
// harmless); the flag itself is shared by every thread.
std::atomic<bool> g_factories_registered{false};

// The cached reference and the server it was obtained from, shared by every
// thread. A thread takes its own duplicate under the lock and makes every
// remote call on that duplicate with no lock held; it replaces or drops the
// cached one only while it is still the one it examined. So no reference is
// ever released under another thread's call, and no lock is held across the
// network. A raw pointer on purpose: it is released only when replaced,
// never by a static destructor that could run after the ORB's own teardown.
std::mutex g_cache_mutex;
DS::DiskServiceMgr_ptr g_dsm = DS::DiskServiceMgr::_nil();
char g_connected_server[kNameCopy];

const void* as_pointer(const void* p) { return p; }

// A duplicate of the cached reference (nil when none) and, in 'server', the
// name it was obtained from.
DS::DiskServiceMgr_ptr take_cached_reference(std::string& server) {
    std::lock_guard<std::mutex> lock(g_cache_mutex);
    server = g_connected_server;
    return DS::DiskServiceMgr::_duplicate(g_dsm);
}

// Drops the cached reference if it is still 'seen'. The caller holds its own
// duplicate of 'seen', so the comparison cannot meet a recycled address.
void drop_cached_reference(DS::DiskServiceMgr_ptr seen) {
    DS::DiskServiceMgr_ptr old = DS::DiskServiceMgr::_nil();
    {
        std::lock_guard<std::mutex> lock(g_cache_mutex);
        if (g_dsm != seen) return;
        old = g_dsm;
        g_dsm = DS::DiskServiceMgr::_nil();
    }
    CORBA::release(old);
}

// Makes 'fresh' the cached reference for 'emm'. Another thread's newer
// connection may be replaced; either one serves.
void cache_reference(DS::DiskServiceMgr_ptr fresh, const char* emm) {
    DS::DiskServiceMgr_ptr old = DS::DiskServiceMgr::_nil();
    {
        std::lock_guard<std::mutex> lock(g_cache_mutex);
        old = g_dsm;
        g_dsm = DS::DiskServiceMgr::_duplicate(fresh);
        V_strlcpy(g_connected_server, emm, sizeof g_connected_server);
    }
    CORBA::release(old);
}

template <class... Pieces>
void note(const char* function, int severity, int line, const Pieces&... pieces) {
    dsm::log(severity, function, DSM_UNIT, line, pieces...);
}

std::string corba_description(const CORBA::Exception& e) {
    std::string text = e._name();
    if (const CORBA::SystemException* se = CORBA::SystemException::_downcast(&e)) {
        text += dsm::compose(" (minor=", se->minor(), ", completed=",
                             se->completed() == CORBA::COMPLETED_YES  ? "YES"
                             : se->completed() == CORBA::COMPLETED_NO ? "NO"
                                                                      : "MAYBE",
                             ")");
    }
    return text;
}

Orb* make_private_orb() {
    std::unique_ptr<Orb> orb(new Orb(false, "", "", false, 1024));
    orb->init(nullptr);
    return orb.release();
}

}  // namespace

std::string dsmlibp_describe(const CORBA::Exception& e) { return corba_description(e); }

// ---- ORB ----

Orb* dsmlibp_get_orb(Orb* orb) {
    if (orb) {
        note("dsmlibp_get_orb", DSM_SEV_PROGRESS, __LINE__, "Using external orb ", as_pointer(orb));
        g_orb = orb;
        return orb;
    }
    if (Orb* known = g_orb.load()) return known;
    std::lock_guard<std::mutex> lock(g_orb_mutex);
    if (Orb* known = g_orb.load()) return known;  // another thread made it meanwhile
    note("dsmlibp_get_orb", DSM_SEV_PROGRESS, __LINE__, "Using dsmlib private orb");
    const int line = __LINE__;
    try {
        g_orb = make_private_orb();
    } catch (const CORBA::Exception& e) {
        note("dsmlibp_get_orb", DSM_SEV_FATAL, line, "CORBA exception: ", corba_description(e));
    } catch (const std::exception& e) {
        note("dsmlibp_get_orb", DSM_SEV_FATAL, line, "std::exception: ", e.what());
    } catch (...) {
        note("dsmlibp_get_orb", DSM_SEV_FATAL, line, "Unknown (...) exception thrown");
        throw;
    }
    return g_orb.load();
}

extern "C" Orb* dsmlib_set_orb(Orb* orb) { return dsmlibp_get_orb(orb); }

// ---- server names ----

const char* dsmlibp_emmserver(const char* name) {
    if (name) {
        V_strlcpy(g_emm, name, kNameCopy);
        note("dsmlibp_emmserver", DSM_SEV_PROGRESS, __LINE__, "EMM server set to ", g_emm);
        g_emm_set = true;
        return g_emm;
    }
    if (g_emm_set) return g_emm;
    std::memset(g_emm, 0, sizeof g_emm);
    return dsmlib_set_emmserver(nullptr);
}

const char* dsmlibp_masterserver(const char* name) {
    if (name) {
        V_strlcpy(g_master, name, kNameCopy);
        note("dsmlibp_masterserver", DSM_SEV_PROGRESS, __LINE__, "Master server set to ", name);
        g_master_set = true;
        return g_master;
    }
    if (g_master_set) return g_master;
    std::memset(g_master, 0, sizeof g_master);
    dsmlib_set_emmserver(nullptr);
    return g_master;
}

namespace {

// Takes EMM and master server from the product configuration; the EMM name
// or null.
const char* load_servers_from_configuration() {
    kdconf_info_t* info = nullptr;
    const char* result = nullptr;
    if (kdconf_get_info(&info) == 0 && info && info->emm_server[0] != '\0') {
        result = dsmlibp_emmserver(info->emm_server);
        if (info->num_servers > 0 && info->servers) dsmlibp_masterserver(info->servers[0]);
    } else {
        note("dsmlib_set_emmserver", DSM_SEV_FATAL, __LINE__,
             "Failed to load Keldra configuration (xq.conf)");
    }
    kdconf_free_info(&info);
    return result;
}

}  // namespace

extern "C" {

const char* dsmlib_set_emmserver(const char* name) {
    if (name) return dsmlibp_emmserver(name);
    return load_servers_from_configuration();
}

const char* dsmlib_get_emmserver(void) { return dsmlibp_emmserver(nullptr); }

const char* dsmlib_get_masterserver(void) { return dsmlibp_masterserver(nullptr); }

bool dsmlib_set_noOBVregistration(void) { return dsmlibp_register_factories(false); }

}  // extern "C"

// ---- database mode ----

int dsmlibp_db_mode(dsm_dbmode dbmode, CORBA::Long* out) {
    if (dbmode == 0 || dbmode == 1 || dbmode == 2) {
        *out = dbmode;
        return 0;
    }
    note("dsmlibp_db_mode", DSM_SEV_ERROR, __LINE__, "Unknown dsm_dbmode (dbmode=", dbmode, ")");
    return DSM_E_INVALID_ARG;
}

// ---- value factories ----

namespace {

template <class Registrar>
bool run_registrar(Orb* orb, const char* failed, const char* done) {
    Registrar registrar;
    if (registrar.init(orb->orb()) != 0) {
        note("dsmlibp_register_factories", DSM_SEV_ERROR, __LINE__, failed);
        return false;
    }
    note("dsmlibp_register_factories", DSM_SEV_PROGRESS, __LINE__, done, as_pointer(orb));
    return true;
}

}  // namespace

bool dsmlibp_register_factories(bool doRegister) {
    if (!doRegister) {
        Orb* orb = dsmlibp_get_orb(nullptr);
        note("dsmlibp_register_factories", DSM_SEV_PROGRESS, __LINE__,
             "Skipping registration of OBV factories with orb ", as_pointer(orb));
        g_factories_registered = true;
        return false;
    }
    if (g_factories_registered) return false;
    Orb* orb = dsmlibp_get_orb(nullptr);
    if (!orb) {
        note("dsmlibp_register_factories", DSM_SEV_ERROR, __LINE__, "dsmlibp_get_orb returned NULL");
        return true;
    }
    if (!run_registrar<FrameworkRegistrar>(orb, "Failed to register Framework OBV factories",
                                           "Registerd Framework OBV factories with orb "))
        return true;
    if (!run_registrar<DiskServiceRegistrar>(orb, "Failed to register DiskServiceMgr OBV factories",
                                             "Registerd DiskServiceMgr OBV factories with orb "))
        return true;
    g_factories_registered = true;
    return false;
}

// ---- connection ----

namespace {

constexpr const char* kConnect = "dsmlibp_connect_dsm";

// A duplicate of the cached reference when it answers and still belongs to
// 'emm'; nil (and the cached one dropped) otherwise.
DS::DiskServiceMgr_ptr usable_cached_reference(const char* emm) {
    std::string server;
    DS::DiskServiceMgr_var mine = take_cached_reference(server);
    if (CORBA::is_nil(mine.in())) return DS::DiskServiceMgr::_nil();
    try {
        mine->ping();
    } catch (...) {
        note(kConnect, DSM_SEV_ERROR, __LINE__, "Invalid DiskServerMgr connection; Reconnecting...");
        drop_cached_reference(mine.in());
        return DS::DiskServiceMgr::_nil();
    }
    if (server == emm) return mine._retn();
    note(kConnect, DSM_SEV_PROGRESS, __LINE__, "EMM server setting has changed; Reconnecting...");
    drop_cached_reference(mine.in());
    return DS::DiskServiceMgr::_nil();
}

DS::DiskServiceMgr_ptr connect_anew(const char* emm) {
    note(kConnect, DSM_SEV_PROGRESS, __LINE__, "Connecting to DiskServiceMgr on ", emm);
    Orb* orb = dsmlibp_get_orb(nullptr);
    if (!orb) {
        note(kConnect, DSM_SEV_ERROR, __LINE__, "dsmlibp_get_orb returned NULL");
        return DS::DiskServiceMgr::_nil();
    }
    note(kConnect, DSM_SEV_PROGRESS, __LINE__, "Connecting to KDDSMFSM using orb ", as_pointer(orb));
    CORBA::Object_var obj = orb->connectToObject(emm, "KDDSMFSM", "DiskService.DiskServiceMgr",
                                                 ACE_Time_Value(5), ACE_Time_Value::zero);
    if (CORBA::is_nil(obj.in())) {
        note(kConnect, DSM_SEV_ERROR, __LINE__, "DiskServiceMgr not found on ", emm);
        return DS::DiskServiceMgr::_nil();
    }
    if (dsmlibp_register_factories(true)) return DS::DiskServiceMgr::_nil();
    // A caller's narrowing function may answer a plain null pointer.
    auto* narrowed = static_cast<DS::DiskServiceMgr_ptr>(dsmlibp_DSM_context()(obj.in()));
    DS::DiskServiceMgr_var fresh = narrowed ? narrowed : DS::DiskServiceMgr::_nil();
    if (CORBA::is_nil(fresh.in())) {
        note(kConnect, DSM_SEV_FATAL, __LINE__, "Failed to narrow DiskServiceMgr remote object");
        return DS::DiskServiceMgr::_nil();
    }
    cache_reference(fresh.in(), emm);
    return fresh._retn();
}

}  // namespace

DS::DiskServiceMgr_ptr dsmlibp_connect_dsm() {
    const char* emm = dsmlibp_emmserver(nullptr);
    if (!emm) {
        note(kConnect, DSM_SEV_ERROR, __LINE__, "Failed to determine EMM server name");
        return DS::DiskServiceMgr::_nil();
    }
    DS::DiskServiceMgr_ptr cached = usable_cached_reference(emm);
    if (!CORBA::is_nil(cached)) return cached;
    const int line = __LINE__;
    try {
        return connect_anew(emm);
    } catch (const CORBA::Exception& e) {
        note(kConnect, DSM_SEV_FATAL, line, "CORBA exception: ", corba_description(e));
    } catch (const std::exception& e) {
        note(kConnect, DSM_SEV_FATAL, line, "std::exception: ", e.what());
    } catch (...) {
        note(kConnect, DSM_SEV_FATAL, line, "Unknown (...) exception thrown");
        throw;
    }
    return DS::DiskServiceMgr::_nil();
}

// ---- version ----

extern "C" const char* dsmlib_version(void) { return DSM_VERSION_STRING; }

// ---- connection check ----

extern "C" int dsmlib_ping(void) {
    DSM_FRAME(f, DSM_UNIT);
    return f.run([&] {
        DSM_CONNECT(f, dsm);
        return DSM_OK;
    });
}
