// The byte grammar the structured fuzz targets decode, read front to back,
// and its writer for the seed generator. An exhausted input reads as zeros
// and empty texts, so every byte string decodes to something.
//
//   byte     one octet
//   u32/i64  little-endian, 4 and 8 octets
//   text     u16 length then that many octets; length 0xFFFF is a null
//            string (a member the service left unset)
//   name     one octet: below the vocabulary's size picks that property
//            name, 0xFE is null, anything else is followed by a text
#ifndef DSM_FUZZ_FUZZINPUT_H
#define DSM_FUZZ_FUZZINPUT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dsmfuzz {

constexpr std::uint16_t kNullText = 0xFFFF;
constexpr std::uint8_t kNullName = 0xFE;

// Every property name the library reads, so that short inputs reach the
// conversions behind each one.
const std::vector<std::string>& vocabulary();

using Text = std::optional<std::string>;

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}

    bool empty() const { return at_ == end_; }
    std::uint8_t byte();
    std::uint32_t u32();
    std::int64_t i64();
    Text text();
    Text name();
    // A count in [0, limit].
    std::size_t count(std::size_t limit) { return byte() % (limit + 1); }
    // The unread rest.
    std::vector<std::uint8_t> rest();

private:
    std::uint64_t little_endian(int octets);

    const std::uint8_t* at_;
    const std::uint8_t* end_;
};

class Writer {
public:
    Writer& byte(std::uint8_t b);
    Writer& u32(std::uint32_t v);
    Writer& i64(std::int64_t v);
    Writer& text(const Text& t);
    // A vocabulary index when 'n' is a known name, else the text itself.
    Writer& name(const Text& n);
    const std::vector<std::uint8_t>& bytes() const { return out_; }

private:
    Writer& little_endian(std::uint64_t v, int octets);

    std::vector<std::uint8_t> out_;
};

}  // namespace dsmfuzz

#endif
