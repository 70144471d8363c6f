// Service values built from fuzz bytes, with everything the wire cannot
// carry: null strings, null elements, null nested values. An exhausted input
// reads as zeros and empty texts, so every byte string decodes to something.
// README.md gives the grammar.
#ifndef DSM_FUZZ_FUZZVALUES_H
#define DSM_FUZZ_FUZZVALUES_H

#include "DiskService.hh"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

// A broken invariant aborts with a message, which the fuzzer records as a crash.
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : dsmfuzz::broken(#cond, __FILE__, __LINE__))

// The eleven kinds of value, in the order of the kind octet of fuzz_extract
// and fuzz_wire: X(type, reader suffix).
#define DSM_FUZZ_VALUE_KINDS(X)                                                                      \
    X(DiskGroup, diskgroup) X(DiskGroupInfo, diskgroupinfo) X(DiskVolume, diskvolume)                \
    X(DiskVolumeInfo, diskvolumeinfo) X(StorageServer, storageserver)                               \
    X(StorageServerInfo, storageserverinfo) X(StorageServerConfigItem, configitem)                  \
    X(Enclosure, enclosure) X(EnclosureInfo, enclosureinfo) X(Disk, disk) X(MountPoint, mountpoint)
// The lists of them the service sends, next in fuzz_wire's kind octet.
#define DSM_FUZZ_LIST_KINDS(X)                                                                       \
    X(DiskGroupInfo, diskgroupinfo) X(DiskVolumeInfo, diskvolumeinfo)                                \
    X(StorageServerInfo, storageserverinfo) X(StorageServerConfigItem, configitem) X(MountPoint, mountpoint)

namespace dsmfuzz {

namespace DS = Orvane::Keldra::DL::DiskService;
namespace FW = Orvane::Keldra::TL::Framework;
using Text = std::optional<std::string>;

[[noreturn]] inline void broken(const char* cond, const char* file, int line) {
    std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", cond, file, line);
    std::abort();
}

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}

    std::uint8_t byte() { return at_ == end_ ? 0 : *at_++; }
    std::uint32_t u32() { return static_cast<std::uint32_t>(little_endian(4)); }
    std::int64_t i64() { return static_cast<std::int64_t>(little_endian(8)); }
    Text text();
    Text name();
    // A count in [0, limit].
    std::size_t count(std::size_t limit) { return byte() % (limit + 1); }
    std::size_t left() const { return static_cast<std::size_t>(end_ - at_); }

private:
    std::uint64_t little_endian(int octets);

    const std::uint8_t* at_;
    const std::uint8_t* end_;
};

// Each returns a new value (null for the null details kind).
#define DSM_FUZZ_DECLARE_READER(T, name) DS::T* read_##name(Reader& in);
DSM_FUZZ_VALUE_KINDS(DSM_FUZZ_DECLARE_READER)
FW::ServiceExceptionDetails* read_details(Reader& in);

// Runs the library over one value the way its callers would: the extraction
// into a record and, for the kinds a record holds, every exported accessor
// that reads the held value without the service; 'knobs' chooses buffer
// sizes and indexes. 'v' is not null.
#define DSM_FUZZ_DECLARE_EXERCISE(T, name) void exercise(Reader& knobs, DS::T* v);
DSM_FUZZ_VALUE_KINDS(DSM_FUZZ_DECLARE_EXERCISE)

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
