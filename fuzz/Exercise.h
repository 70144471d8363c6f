// Runs the library over one value of the service the way its callers
// would: the extraction into a record and, for the kinds a record holds,
// every exported accessor that reads the held value without asking the
// service. 'knobs' chooses buffer sizes and indexes. A broken invariant
// aborts with a message, which the fuzzer records as a crash.
#ifndef DSM_FUZZ_EXERCISE_H
#define DSM_FUZZ_EXERCISE_H

#include "FuzzInput.h"
#include "FuzzValues.h"

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace dsmfuzz {

// A null value is skipped: the callers test for one before extracting.
void exercise(Reader& knobs, DS::DiskGroup* v);
void exercise(Reader& knobs, DS::DiskGroupInfo* v);
void exercise(Reader& knobs, DS::DiskVolume* v);
void exercise(Reader& knobs, DS::DiskVolumeInfo* v);
void exercise(Reader& knobs, DS::StorageServer* v);
void exercise(Reader& knobs, DS::StorageServerInfo* v);
void exercise(Reader& knobs, DS::StorageServerConfigItem* v);
void exercise(Reader& knobs, DS::Enclosure* v);
void exercise(Reader& knobs, DS::EnclosureInfo* v);
void exercise(Reader& knobs, DS::Disk* v);
void exercise(Reader& knobs, DS::MountPoint* v);

// The exception raised inside an exported function's frame: the status it
// maps to and the explanation logged for it.
void exercise(const FW::ServiceException& e);
void exercise(const FW::IllegalArgumentException& e);

// A logging function that reads every message whole (so that composing and
// delivering run as they do for a real caller) and keeps the failures.
// 'locale' is stored as given and must outlive the next input.
void install_reading_logger(const char* locale);

}  // namespace dsmfuzz

#endif
