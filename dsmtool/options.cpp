#include "options.h"

#include "text.h"
#include "units.h"

namespace dsmtool {

namespace {

CLI::Validator text_check(const Field& field) {
    return CLI::Validator([field](std::string& text) { return field_problem(field, text); }, "");
}

// Rewrites what was typed as plain decimal, which the option's conversion
// then reads exactly.
using Reader = std::string (*)(const std::string&, Number&);
CLI::Validator number_check(Reader read, long long lo, unsigned long long hi) {
    return CLI::Validator(
        [read, lo, hi](std::string& text) -> std::string {
            Number n;
            std::string why = read(text, n);
            if (why.empty() && !(why = check_range(n, lo, hi)).empty()) why = text + " is " + why;
            if (why.empty()) text = decimal(n);
            return why;
        },
        "");
}

}  // namespace

std::string field_problem(const Field& field, const std::string& text) {
    const std::string label = field.label;
    if (text.empty()) return label + " is empty";
    if (!valid_utf8(text)) return label + " is not valid UTF-8";
    if (field.fits && text.size() > field.fits)
        return label + " is " + std::to_string(text.size()) + " bytes; at most " + std::to_string(field.fits) + " fit";
    return "";
}

CLI::Validator integer_check(long long lo, unsigned long long hi) { return number_check(read_integer, lo, hi); }

CLI::Option* add_text(CLI::App* cmd, const std::string& name, std::string& target, const std::string& help,
                      const Field& field) {
    return cmd->add_option(name, target, help)->check(text_check(field));
}

CLI::Option* add_size(CLI::App* cmd, const std::string& name, long long& target, const std::string& help) {
    return cmd->add_option(name, target, help + " (" + kSizeHelp + ")")
        ->transform(number_check(read_size, std::numeric_limits<long long>::min(),
                                 std::numeric_limits<long long>::max()))
        ->type_name("SIZE");
}

CLI::Option* add_texts(CLI::App* cmd, const std::string& name, std::vector<std::string>& values,
                       const std::string& help, const Field& field) {
    return cmd->add_option(name, values, help)->check(text_check(field));
}

CLI::Option* add_repeated(CLI::App* cmd, const std::string& name, std::vector<std::string>& values,
                          const std::string& help, const Field& field) {
    return add_texts(cmd, name, values, help, field)->allow_extra_args(false);
}

void add_reason(CLI::App* cmd, std::string& reason) {
    add_text(cmd, "--reason", reason, "audit reason sent with the change", {"reason", 0});
}

}  // namespace dsmtool
