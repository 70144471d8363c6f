// Process-wide settings and the connection to DiskServiceMgr, shared by
// every unit of the library.
#ifndef DSMLIB_INTERNAL_H
#define DSMLIB_INTERNAL_H

#include "dsm.h"
#include "DiskService.hh"

class Orb;

namespace DS = Orvane::Keldra::DL::DiskService;
namespace FW = Orvane::Keldra::TL::Framework;

// ORB choice: a non-null orb is stored and returned; null returns the stored
// one, making the private ORB when none is stored. Null when none can be made.
Orb* dsmlibp_get_orb(Orb* orb);

// A non-null name sets, null reads (see dsmlib_set_emmserver).
const char* dsmlibp_emmserver(const char* name);
const char* dsmlibp_masterserver(const char* name);

// Converts the caller's database mode into the service's; 0 or 2050200.
int dsmlibp_db_mode(dsm_dbmode dbmode, CORBA::Long* out);

// With 'doRegister' true registers the value factories once; with false only
// marks them registered. Returns true on failure.
bool dsmlibp_register_factories(bool doRegister);

// A new reference to the connected DiskServiceMgr (the caller releases it),
// or nil. Pings the cached reference and reconnects when it has gone bad or
// the EMM server setting has changed.
DS::DiskServiceMgr_ptr dsmlibp_connect_dsm();

// The stored narrowing function, installing the default one when none is
// stored.
dsmlib_DSM_context_t dsmlibp_DSM_context();
// The generated narrowing behind the default context.
void* dsmlibp_default_narrow(void* object);

// The ORB's name of an exception, with minor code and completion status for
// system exceptions.
#include <string>
std::string dsmlibp_describe(const CORBA::Exception& e);

#endif
