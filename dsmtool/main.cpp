// dsmtool: manage disk pools, volumes, storage servers and enclosures through
// libdsm, in the style of virsh's pool and volume commands.
#include "families.h"

int main(int argc, char** argv) {
    CLI::App app{"dsmtool - disk storage management through libdsm"};
    dsmtool::Tool tool(app);
    dsmtool::add_status_commands(app, tool);
    dsmtool::add_pool_commands(app, tool);
    dsmtool::add_volume_commands(app, tool);
    dsmtool::add_server_commands(app, tool);
    dsmtool::add_enclosure_commands(app, tool);
    dsmtool::add_mount_commands(app, tool);
    dsmtool::add_lsu_commands(app, tool);
    dsmtool::add_servertype_commands(app, tool);
    dsmtool::add_attribute_commands(app, tool);
    dsmtool::add_fastbackup_commands(app, tool);
    dsmtool::add_completion_commands(app, tool);
    return tool.main(argc, argv);
}
