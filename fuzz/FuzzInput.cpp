#include "FuzzInput.h"

#include <algorithm>

namespace dsmfuzz {

const std::vector<std::string>& vocabulary() {
    static const std::vector<std::string> names = {
        "DSM::servertype", "DSM::master", "DSM::mediaServer", "DSM::usedSpace", "DSM::state",
        "DSM::imported", "Connectivity", "Availability", "DSM::highWaterMark",
        "DSM::lowWaterMark", "DSM::systemTag", "DSM::userTag", "DSM::freeSpace",
        "DSM::potentialFreeSpace", "DSM::committedSpace", "DSM::preCommittedSpace",
        "DSM::diskMediaId", "Volume Layout String", "DSM::maxReaders", "DSM::currentReaders",
        "DSM::maxWriters", "DSM::currentWriters", "DSM::flags", "DSM::flagsExt",
        "DSM::maxIOStreams", "DSM::totalPhysicalCapacity", "DSM::usedPhysicalSpace",
        "DSM::freePhysicalSpace", "DSM::activeReadStreams", "DSM::activeWriteStreams",
        "DSM::ReplicationSourceSpec", "DSM::ReplicationTargetSpec",
        "DSMi::ReplicationSourceAndTargetSpecCount", "DSM::diskGroupName", "DSM::diskVolumeName",
        "DSM::storageServer", "DSM::ConfigDescription", "DSM::ConfigFixed", "DSM::AuditSucess",
        "Arraytype.List", "Enclosure Type", "Enclosure Serial Number", "Enclosure Array Type",
    };
    return names;
}

std::uint64_t Reader::little_endian(int octets) {
    std::uint64_t v = 0;
    for (int i = 0; i < octets; ++i) v |= static_cast<std::uint64_t>(byte()) << (8 * i);
    return v;
}

std::uint8_t Reader::byte() { return at_ == end_ ? 0 : *at_++; }
std::uint32_t Reader::u32() { return static_cast<std::uint32_t>(little_endian(4)); }
std::int64_t Reader::i64() { return static_cast<std::int64_t>(little_endian(8)); }

Text Reader::text() {
    const auto length = static_cast<std::uint16_t>(little_endian(2));
    if (length == kNullText) return std::nullopt;
    const std::size_t n = std::min<std::size_t>(length, static_cast<std::size_t>(end_ - at_));
    std::string s(reinterpret_cast<const char*>(at_), n);
    at_ += n;
    return s;
}

Text Reader::name() {
    const std::uint8_t b = byte();
    if (b < vocabulary().size()) return vocabulary()[b];
    if (b == kNullName) return std::nullopt;
    return text();
}

std::vector<std::uint8_t> Reader::rest() {
    std::vector<std::uint8_t> out(at_, end_);
    at_ = end_;
    return out;
}

Writer& Writer::little_endian(std::uint64_t v, int octets) {
    for (int i = 0; i < octets; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
}

Writer& Writer::byte(std::uint8_t b) { return little_endian(b, 1); }
Writer& Writer::u32(std::uint32_t v) { return little_endian(v, 4); }
Writer& Writer::i64(std::int64_t v) { return little_endian(static_cast<std::uint64_t>(v), 8); }

Writer& Writer::text(const Text& t) {
    if (!t) return little_endian(kNullText, 2);
    little_endian(t->size(), 2);
    out_.insert(out_.end(), t->begin(), t->end());
    return *this;
}

Writer& Writer::name(const Text& n) {
    if (!n) return byte(kNullName);
    const auto& names = vocabulary();
    const auto known = std::find(names.begin(), names.end(), *n);
    if (known != names.end()) return byte(static_cast<std::uint8_t>(known - names.begin()));
    return byte(0xFF).text(n);
}

}  // namespace dsmfuzz
