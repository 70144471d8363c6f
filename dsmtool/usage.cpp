#include "usage.h"

#include <algorithm>

namespace dsmtool {

namespace {

size_t edit_distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : ", ") + w;
    return out;
}

// The word nobody expected, named with the likeliest intent.
UsageFault unexpected(const CLI::App& deepest, const std::string& word) {
    const bool option = word.size() > 1 && word[0] == '-';
    const std::vector<std::string> commands = command_names(deepest);
    UsageFault f;
    f.path = command_path(deepest);
    if (option) {
        f.suggestion = closest(word.substr(0, word.find('=')), option_names(deepest));
        f.message = "unknown option '" + word + "'";
    } else if (!commands.empty()) {
        f.suggestion = closest(word, commands);
        f.message = "unknown command '" + word + "'";
    } else {
        f.message = "unexpected argument '" + word + "'";
    }
    if (!f.suggestion.empty()) f.message += "; did you mean '" + f.suggestion + "'?";
    return f;
}

}  // namespace

std::string closest(const std::string& word, const std::vector<std::string>& candidates) {
    std::string best;
    size_t distance = 3;  // two slips at most
    for (const std::string& c : candidates) {
        const size_t d = c.compare(0, word.size(), word) == 0 && !word.empty() ? 1 : edit_distance(word, c);
        if (d < distance) {
            distance = d;
            best = c;
        }
    }
    return best;
}

std::vector<std::string> command_names(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        names.push_back(sub->get_name());
    return names;
}

std::vector<std::string> option_names(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* a = &app; a; a = a->get_parent())
        for (const CLI::Option* opt : a->get_options())
            for (const std::string& l : opt->get_lnames())
                if (std::find(names.begin(), names.end(), "--" + l) == names.end()) names.push_back("--" + l);
    return names;
}

std::string command_path(const CLI::App& app) {
    std::string path;
    for (const CLI::App* a = &app; a && a->get_parent(); a = a->get_parent())
        path = a->get_name() + (path.empty() ? "" : " " + path);
    return path;
}

UsageFault describe_usage_fault(const CLI::App& root, const CLI::ParseError& e) {
    const CLI::App* deepest = &root;
    while (!deepest->get_subcommands().empty()) deepest = deepest->get_subcommands().front();
    const std::vector<std::string> left = root.remaining(true);
    const bool required = dynamic_cast<const CLI::RequiredError*>(&e) != nullptr;
    if ((required || dynamic_cast<const CLI::ExtrasError*>(&e)) && !left.empty()) return unexpected(*deepest, left.front());
    UsageFault f;
    f.path = command_path(*deepest);
    const std::vector<std::string> commands = command_names(*deepest);
    if (required && !commands.empty())
        f.message = "a command is required: " + joined(commands);
    else
        f.message = e.what();
    return f;
}

}  // namespace dsmtool
