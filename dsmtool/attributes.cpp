// dsmtool attribute: global attributes of the disk service.
#include "families.h"
#include "records.h"

namespace dsmtool {

namespace {

// Values are read back into a buffer of this size.
constexpr size_t kValueBuffer = 4096;

struct AttributeArgs {
    std::string name, value;
};

// Sets the attribute and returns its value before; an empty value only
// reads the current one.
std::string swap_value(const std::string& name, const std::string& value) {
    char old_value[kValueBuffer];
    check(dsm_set_global_attribute(name.c_str(), value.c_str(), old_value, static_cast<int>(sizeof old_value)),
          "dsm_set_global_attribute");
    return old_value;
}

Reply attribute_get(const AttributeArgs& a) {
    const std::string value = swap_value(a.name, "");
    return {Json{{"name", a.name}, {"value", value}}, {}, value};
}

Reply attribute_set(const AttributeArgs& a) {
    const std::string previous = swap_value(a.name, a.value);
    const std::string now = swap_value(a.name, "");
    expect_held("attribute " + a.name, a.value, now);
    return {Json{{"name", a.name}, {"value", now}, {"previous_value", previous}},
            {},
            a.name + " set to " + now + " (was " + (previous.empty() ? "not set" : previous) + ")"};
}

void add_attribute_name(CLI::App* cmd, AttributeArgs& a) {
    add_text(cmd, "NAME", a.name, "attribute name", {"attribute name", 0})->required();
}

}  // namespace

void add_attribute_commands(CLI::App& app, Tool& tool) {
    auto a = std::make_shared<AttributeArgs>();
    CLI::App* attr = tool.family(app, "attribute", "global attributes of the disk service");
    CLI::App* get =
        tool.command(*attr, "get", "show an attribute's value", Needs::Service, [=] { return attribute_get(*a); });
    add_attribute_name(get, *a);
    CLI::App* set = tool.command(*attr, "set", "set an attribute", Needs::Service, [=] { return attribute_set(*a); });
    add_attribute_name(set, *a);
    add_text(set, "VALUE", a->value, "new value (not empty)", {"attribute value", kValueBuffer - 1})->required();
}

}  // namespace dsmtool
