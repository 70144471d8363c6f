// The command families; each adds its commands to the application.
#ifndef DSMTOOL_FAMILIES_H
#define DSMTOOL_FAMILIES_H

#include "tool.h"

namespace dsmtool {

void add_status_commands(CLI::App& app, Tool& tool);  // status, service
void add_pool_commands(CLI::App& app, Tool& tool);
void add_volume_commands(CLI::App& app, Tool& tool);
void add_server_commands(CLI::App& app, Tool& tool);
void add_enclosure_commands(CLI::App& app, Tool& tool);
void add_mount_commands(CLI::App& app, Tool& tool);
void add_servertype_commands(CLI::App& app, Tool& tool);
void add_attribute_commands(CLI::App& app, Tool& tool);
void add_lsu_commands(CLI::App& app, Tool& tool);
void add_fastbackup_commands(CLI::App& app, Tool& tool);

// A pool as the service knows it, holding its DiskGroupInfo reference; the
// identity the other families send with their requests.
void load_pool(const Tool& tool, const std::string& name, dsm_diskgroupinfo_t& info);
// The pools of these storage servers (every pool when none is named), as JSON.
Json pools_of_servers(const Tool& tool, const std::vector<std::string>& servers, const std::string& type);
// dsmtool completion bash.
void add_completion_commands(CLI::App& app, Tool& tool);

}  // namespace dsmtool

#endif
