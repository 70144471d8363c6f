#include "output.h"

#include <algorithm>

namespace dsmtool {

namespace {

std::string cell(const Json& v) {
    if (v.is_null()) return "-";
    if (v.is_boolean()) return v.get<bool>() ? "yes" : "no";
    if (v.is_string()) {
        const std::string s = v.get<std::string>();
        return s.empty() ? "-" : s;
    }
    if (v.is_array()) {
        std::string joined;
        for (const Json& e : v) joined += (joined.empty() ? "" : ", ") + cell(e);
        return joined.empty() ? "-" : joined;
    }
    return v.dump();
}

// The columns of a list: those asked for, else every key of its first row.
std::vector<std::string> columns_of(const Json& rows, const std::vector<std::string>& wanted) {
    if (!wanted.empty()) return wanted;
    std::vector<std::string> keys;
    if (!rows.empty() && rows.front().is_object())
        for (auto it = rows.front().begin(); it != rows.front().end(); ++it) keys.push_back(it.key());
    return keys;
}

void table(const Json& rows, const std::vector<std::string>& wanted, std::ostream& out) {
    const std::vector<std::string> keys = columns_of(rows, wanted);
    std::vector<std::vector<std::string>> lines(1);
    for (const std::string& k : keys) lines[0].push_back(heading(k));
    for (const Json& row : rows) {
        lines.emplace_back();
        for (const std::string& k : keys) lines.back().push_back(row.contains(k) ? cell(row[k]) : "-");
    }
    std::vector<size_t> width(keys.size(), 0);
    for (const auto& line : lines)
        for (size_t i = 0; i < line.size(); ++i) width[i] = std::max(width[i], line[i].size());
    size_t total = 0;
    for (size_t w : width) total += w + 3;
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string text;
        for (size_t i = 0; i < lines[n].size(); ++i) {
            text += " " + lines[n][i];
            if (i + 1 < lines[n].size()) text += std::string(width[i] - lines[n][i].size() + 2, ' ');
        }
        out << text << '\n';
        if (n == 0) out << std::string(total, '-') << '\n';
    }
}

bool is_table(const Json& v) { return v.is_array() && !v.empty() && v.front().is_object(); }

void record(const Json& object, std::ostream& out) {
    size_t width = 0;
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!is_table(it.value())) width = std::max(width, heading(it.key()).size());
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (is_table(it.value())) continue;
        const std::string key = heading(it.key()) + ":";
        out << key << std::string(width + 2 - key.size() + 1, ' ') << cell(it.value()) << '\n';
    }
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!is_table(it.value())) continue;
        out << '\n' << heading(it.key()) << ":\n";
        table(it.value(), {}, out);
    }
}

}  // namespace

std::string heading(const std::string& key) {
    static const std::pair<const char*, const char*> kAcronyms[] = {
        {"emm", "EMM"}, {"id", "ID"}, {"io", "I/O"}, {"lsu", "LSU"}};
    std::string h;
    size_t start = 0;
    while (start <= key.size()) {
        const size_t end = std::min(key.find('_', start), key.size());
        std::string word = key.substr(start, end - start);
        for (const auto& [lower, upper] : kAcronyms)
            if (word == lower) word = upper;
        h += (h.empty() ? "" : " ") + word;
        start = end + 1;
    }
    if (!h.empty() && h[0] >= 'a' && h[0] <= 'z') h[0] = static_cast<char>(h[0] - 'a' + 'A');
    return h;
}

void render(const Reply& reply, bool json, std::ostream& out) {
    if (json) {
        out << reply.data.dump(2) << '\n';
    } else if (!reply.message.empty()) {
        out << reply.message << '\n';
    } else if (reply.data.is_array()) {
        table(reply.data, reply.columns, out);
    } else if (reply.data.is_object()) {
        record(reply.data, out);
    } else if (!reply.data.is_null()) {
        out << cell(reply.data) << '\n';
    }
}

}  // namespace dsmtool
