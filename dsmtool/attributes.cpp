// dsmtool attribute: global attributes of the disk service.
#include "families.h"
#include "records.h"

namespace dsmtool {

namespace {

struct AttributeArgs {
    std::string name, value;
};

// Setting an empty value only reads the current one.
Reply attribute(const AttributeArgs& a, bool set) {
    char old_value[4096];
    check(dsm_set_global_attribute(a.name.c_str(), set ? a.value.c_str() : "", old_value,
                                   static_cast<int>(sizeof old_value)),
          "dsm_set_global_attribute");
    if (!set) return {Json{{"name", a.name}, {"value", old_value}}, {}, old_value};
    return {Json{{"name", a.name}, {"value", a.value}, {"previous_value", old_value}},
            {},
            a.name + " set to " + a.value + " (was " + (old_value[0] ? old_value : "not set") + ")"};
}

}  // namespace

void add_attribute_commands(CLI::App& app, Tool& tool) {
    auto a = std::make_shared<AttributeArgs>();
    CLI::App* attr = tool.family(app, "attribute", "global attributes of the disk service");
    CLI::App* get =
        tool.command(*attr, "get", "show an attribute's value", Needs::Service, [=] { return attribute(*a, false); });
    get->add_option("NAME", a->name, "attribute name")->required();
    CLI::App* set = tool.command(*attr, "set", "set an attribute", Needs::Service, [=] { return attribute(*a, true); });
    set->add_option("NAME", a->name, "attribute name")->required();
    set->add_option("VALUE", a->value, "new value (not empty)")->required();
}

}  // namespace dsmtool
