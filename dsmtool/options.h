// The kinds of argument dsmtool takes, each checked while the command line
// is parsed, so that what does not fit is refused (exit code 2) before
// anything is sent, and what is sent is exactly what was typed.
#ifndef DSMTOOL_OPTIONS_H
#define DSMTOOL_OPTIONS_H

#include <CLI/CLI.hpp>

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace dsmtool {

// A text argument: what it is (for messages) and how many bytes its record
// field holds (0: no field limits it). Text is never empty and always UTF-8.
struct Field {
    const char* label;
    size_t fits;
};

// Why 'text' cannot go into 'field' (empty, not UTF-8, too long), or "".
std::string field_problem(const Field& field, const std::string& text);

// Keeps integers exactly as typed (decimal, or hexadecimal after 0x) when
// they lie in lo..hi; refuses the rest.
CLI::Validator integer_check(long long lo, unsigned long long hi);

CLI::Option* add_text(CLI::App* cmd, const std::string& name, std::string& target, const std::string& help,
                      const Field& field);

template <class T>
CLI::Option* add_integer(CLI::App* cmd, const std::string& name, T& target, const std::string& help,
                         T lo = std::numeric_limits<T>::min(), T hi = std::numeric_limits<T>::max()) {
    return cmd->add_option(name, target, help)->transform(integer_check(lo, hi));
}

// A byte count with an optional unit suffix, in the signed 64-bit range.
CLI::Option* add_size(CLI::App* cmd, const std::string& name, long long& target, const std::string& help);

// Several text values, each checked as 'field'.
CLI::Option* add_texts(CLI::App* cmd, const std::string& name, std::vector<std::string>& values,
                       const std::string& help, const Field& field);

// An option that may be given several times, one value each time (so that
// it never swallows the positionals after it).
CLI::Option* add_repeated(CLI::App* cmd, const std::string& name, std::vector<std::string>& values,
                          const std::string& help, const Field& field);

// An option whose absence matters (an update changes only what was given).
template <class T>
struct Optional {
    T value{};
    CLI::Option* option = nullptr;
    bool given() const { return option && option->count() > 0; }
};

template <class T>
CLI::Option* add_optional(CLI::App* cmd, const std::string& name, Optional<T>& opt, const std::string& help,
                          T lo = std::numeric_limits<T>::min(), T hi = std::numeric_limits<T>::max()) {
    return opt.option = add_integer(cmd, name, opt.value, help, lo, hi);
}

inline CLI::Option* add_optional_text(CLI::App* cmd, const std::string& name, Optional<std::string>& opt,
                                      const std::string& help, const Field& field) {
    return opt.option = add_text(cmd, name, opt.value, help, field);
}

inline CLI::Option* add_optional_size(CLI::App* cmd, const std::string& name, Optional<long long>& opt,
                                      const std::string& help) {
    return opt.option = add_size(cmd, name, opt.value, help);
}

// Text of the optional --reason of a change, or null when none was given.
inline const char* reason_or_null(const std::string& reason) { return reason.empty() ? nullptr : reason.c_str(); }

// Adds --reason (the audit reason sent with a change).
void add_reason(CLI::App* cmd, std::string& reason);

}  // namespace dsmtool

#endif
