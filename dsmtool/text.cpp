#include "text.h"

namespace dsmtool {

namespace {

constexpr long kInvalid = -1;

// The code point of the UTF-8 sequence at 'at', advancing 'at' past it; on
// a byte that starts no well-formed sequence, kInvalid and one byte on.
long decode(const std::string& text, size_t& at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                  : lead >= 0xF0 && lead <= 0xF4   ? 4
                                                                   : 0;
    if (length == 0 || at + length > text.size()) {
        ++at;
        return kInvalid;
    }
    long cp = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return kInvalid;
        }
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    static const long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++at;
        return kInvalid;
    }
    at += length;
    return cp;
}

struct Range {
    long first, last;
};

template <size_t N>
bool in(const Range (&ranges)[N], long cp) {
    for (const Range& r : ranges)
        if (cp >= r.first && cp <= r.last) return true;
    return false;
}

int columns(long cp) {
    // Combining marks, zero-width spaces and joiners, variation selectors.
    static const Range kZero[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A},
                                  {0x064B, 0x065F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
                                  {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xE0100, 0xE01EF}};
    // East Asian wide and fullwidth characters, and emoji.
    static const Range kWide[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
                                  {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
                                  {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE30, 0xFE4F},
                                  {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
                                  {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
    if (in(kZero, cp)) return 0;
    return in(kWide, cp) ? 2 : 1;
}

}  // namespace

bool valid_utf8(const std::string& text) {
    for (size_t at = 0; at < text.size();)
        if (decode(text, at) == kInvalid) return false;
    return true;
}

std::string replace_invalid_utf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t start = at;
        if (decode(text, at) == kInvalid)
            out += "\xEF\xBF\xBD";
        else
            out.append(text, start, at - start);
    }
    return out;
}

size_t display_width(const std::string& text) {
    size_t width = 0;
    for (size_t at = 0; at < text.size();) {
        const long cp = decode(text, at);
        width += cp == kInvalid ? 1 : static_cast<size_t>(columns(cp));
    }
    return width;
}

}  // namespace dsmtool
