// dsmtool completion bash: a completion script made from the commands
// themselves, so that it always knows every command and option.
#include "families.h"
#include "usage.h"

namespace dsmtool {

namespace {

std::string words(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& w : list) out += (out.empty() ? "" : " ") + w;
    return out;
}

// One case of the script for 'app' and for each command below it.
void cases(const CLI::App& app, std::string& out) {
    const std::string path = command_path(app);
    out += "    \"" + path + "\") echo \"" + words(command_names(app)) + " " + words(option_names(app)) + "\" ;;\n";
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) cases(*sub, out);
}

// The words that may follow a command path (a path is a known command when
// it has any); a word that extends the path is a command, any other one an
// argument or an option's value.
std::string bash_script(const CLI::App& root) {
    std::string out =
        "# bash completion for dsmtool; load it with: source <(dsmtool completion bash)\n"
        "_dsmtool_words() {\n"
        "    case \"$1\" in\n";
    cases(root, out);
    out +=
        "    *) return 1 ;;\n"
        "    esac\n"
        "}\n"
        "_dsmtool() {\n"
        "    local path=\"\" next i\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        next=\"${path:+$path }${COMP_WORDS[i]}\"\n"
        "        _dsmtool_words \"$next\" >/dev/null && path=\"$next\"\n"
        "    done\n"
        "    COMPREPLY=($(compgen -W \"$(_dsmtool_words \"$path\")\" -- \"${COMP_WORDS[COMP_CWORD]}\"))\n"
        "}\n"
        "complete -F _dsmtool dsmtool";
    return out;
}

// The script for 'shell' (bash is the only one the option accepts).
Reply completion(const std::string& shell, const CLI::App& root) {
    const std::string script = shell == "bash" ? bash_script(root) : "";
    return {script, {}, script};
}

}  // namespace

void add_completion_commands(CLI::App& app, Tool& tool) {
    auto shell = std::make_shared<std::string>();
    const CLI::App* root = &app;
    CLI::App* cmd = tool.command(app, "completion", "print a shell completion script (bash)", Needs::Nothing,
                                 [=] { return completion(*shell, *root); });
    cmd->add_option("SHELL", *shell, "the shell: bash")->required()->check(CLI::IsMember({"bash"}));
}

}  // namespace dsmtool
