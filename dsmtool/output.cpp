#include "output.h"

#include "text.h"
#include "units.h"

#include <algorithm>

namespace dsmtool {

namespace {

// Byte counts among the keys the records use.
bool is_size(const std::string& key) {
    static const char* const kSizes[] = {"total_capacity",    "used_space",          "free_space",
                                         "potential_free_space", "committed_space",  "precommitted_space",
                                         "physical_capacity", "physical_used",       "free_physical_space",
                                         "storage_capacity"};
    return std::find(std::begin(kSizes), std::end(kSizes), key) != std::end(kSizes);
}

Json clean(const Json& v) {
    if (v.is_string()) return replace_invalid_utf8(v.get<std::string>());
    if (!v.is_structured()) return v;
    Json out = v;
    for (auto it = out.begin(); it != out.end(); ++it) it.value() = clean(it.value());
    return out;
}

class Renderer {
public:
    Renderer(bool bytes, std::ostream& out) : bytes_(bytes), out_(out) {}

    void table(const Json& rows, const std::vector<std::string>& wanted) const;
    void record(const Json& object) const;

    std::string cell(const Json& v, const std::string& key = "") const {
        if (v.is_null()) return "-";
        if (v.is_boolean()) return v.get<bool>() ? "yes" : "no";
        if (v.is_string()) return v.get<std::string>().empty() ? "-" : v.get<std::string>();
        if (v.is_array()) {
            std::string joined;
            for (const Json& e : v) joined += (joined.empty() ? "" : ", ") + cell(e);
            return joined.empty() ? "-" : joined;
        }
        if (!bytes_ && is_size(key) && v.is_number_integer()) return iec_size(v.get<long long>());
        return v.dump();
    }

private:
    bool bytes_;
    std::ostream& out_;
};

// The columns of a list: those asked for, else every key of its first row.
std::vector<std::string> columns_of(const Json& rows, const std::vector<std::string>& wanted) {
    if (!wanted.empty()) return wanted;
    std::vector<std::string> keys;
    if (!rows.empty() && rows.front().is_object())
        for (auto it = rows.front().begin(); it != rows.front().end(); ++it) keys.push_back(it.key());
    return keys;
}

std::string padded(const std::string& text, size_t width) {
    return text + std::string(width - std::min(width, display_width(text)), ' ');
}

void Renderer::table(const Json& rows, const std::vector<std::string>& wanted) const {
    const std::vector<std::string> keys = columns_of(rows, wanted);
    std::vector<std::vector<std::string>> lines(1);
    for (const std::string& k : keys) lines[0].push_back(heading(k));
    for (const Json& row : rows) {
        lines.emplace_back();
        for (const std::string& k : keys) lines.back().push_back(row.contains(k) ? cell(row[k], k) : "-");
    }
    std::vector<size_t> width(keys.size(), 0);
    for (const auto& line : lines)
        for (size_t i = 0; i < line.size(); ++i) width[i] = std::max(width[i], display_width(line[i]));
    size_t total = 0;
    for (size_t w : width) total += w + 3;
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string text;
        for (size_t i = 0; i < lines[n].size(); ++i)
            text += " " + (i + 1 < lines[n].size() ? padded(lines[n][i], width[i] + 2) : lines[n][i]);
        out_ << text << '\n';
        if (n == 0) out_ << std::string(total, '-') << '\n';
    }
}

bool is_table(const Json& v) { return v.is_array() && !v.empty() && v.front().is_object(); }

void Renderer::record(const Json& object) const {
    size_t width = 0;
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!is_table(it.value())) width = std::max(width, heading(it.key()).size());
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!is_table(it.value())) out_ << padded(heading(it.key()) + ":", width + 3) << cell(it.value(), it.key()) << '\n';
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!is_table(it.value())) continue;
        out_ << '\n' << heading(it.key()) << ":\n";
        table(it.value(), {});
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

void print_json(const Json& data, std::ostream& out) { out << clean(data).dump(2) << '\n'; }

void render(const Reply& reply, const Globals& globals, std::ostream& out) {
    if (globals.json) return print_json(reply.data, out);
    const Json data = clean(reply.data);
    const Renderer r(globals.bytes, out);
    if (!reply.message.empty()) {
        out << replace_invalid_utf8(reply.message) << '\n';
    } else if (data.is_array() && (is_table(data) || !reply.columns.empty())) {
        r.table(data, reply.columns);
    } else if (data.is_array()) {
        for (const Json& v : data) out << r.cell(v) << '\n';  // names, one per line
    } else if (data.is_object()) {
        r.record(data);
    } else if (!data.is_null()) {
        out << r.cell(data) << '\n';
    }
}

}  // namespace dsmtool
