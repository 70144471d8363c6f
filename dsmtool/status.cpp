// dsmtool status and dsmtool service: the connection, and the per-user
// service started when no EMM server is configured.
#include "families.h"
#include "records.h"
#include "statuses.h"

namespace dsmtool {

namespace {

std::string or_empty(const char* s) { return s ? s : ""; }

Json service_json(const ServiceState& s) {
    return {{"state_dir", s.dir},
            {"running", s.running},
            {"pid", s.running ? Json(s.pid) : Json(nullptr)},
            {"socket", s.running ? Json(s.socket) : Json(nullptr)},
            {"config", s.config},
            {"log", s.log},
            {"db", s.db}};
}

Reply status(const Tool& tool) {
    const int ping = dsmlib_ping();
    Json j = {{"emm_server", or_empty(dsmlib_get_emmserver())},
              {"master_server", or_empty(dsmlib_get_masterserver())},
              {"connected", ping == DSM_OK},
              {"status", ping},
              {"meaning", status_meaning(ping)}};
    const ServiceState* s = tool.embedded();
    const Endpoint e = current_endpoint(tool.globals().emm_server);
    j["endpoint"] = e.host.empty() && e.socket.empty() ? Json(nullptr) : Json(e.where());
    j["endpoint_origin"] = e.origin();
    j["service"] = s ? "per-user (pid " + std::to_string(s->pid) + ", socket " + s->socket + ")"
                     : std::string("configured");
    // A socket stands in for the port: the per-user service listens on none.
    j["service_pid"] = s ? Json(s->pid) : Json(nullptr);
    j["service_port"] = e.socket.empty() ? Json(e.port) : Json(nullptr);
    j["service_socket"] = e.socket.empty() ? Json(nullptr) : Json(e.socket);
    Reply r{j};
    r.exit = ping == DSM_OK ? kExitOk : kExitFailure;
    return r;
}

Reply service_status() {
    const ServiceState s = EmbeddedService().status();
    Json j = service_json(s);
    j["answers"] = s.running && answers(s.config);
    Reply r{j};
    // As systemctl status does: 3 when the service is not running.
    r.exit = s.running ? kExitOk : kExitService;
    return r;
}

Reply service_start() {
    const ServiceState s = EmbeddedService().ensure();
    return {service_json(s),
            {},
            "Service running (pid " + std::to_string(s.pid) + ", socket " + s.socket + ")"};
}

Reply service_stop() {
    EmbeddedService service;
    const ServiceState before = service.status();
    const bool stopped = service.stop();
    Json j = service_json(service.status());
    j["stopped"] = stopped;
    return {j, {}, stopped ? "Service stopped (pid " + std::to_string(before.pid) + ")" : "Service not running"};
}

}  // namespace

void add_status_commands(CLI::App& app, Tool& tool) {
    const Tool* t = &tool;
    tool.command(app, "status", "show the EMM server and ping DiskServiceMgr", Needs::Service,
                 [=] { return status(*t); });
    CLI::App* service = tool.family(app, "service", "the per-user service used when no EMM server is configured");
    tool.command(*service, "status", "show whether it runs, and where", Needs::Nothing,
                 [] { return service_status(); });
    tool.command(*service, "start", "start it, or find the one running", Needs::Nothing,
                 [] { return service_start(); });
    tool.command(*service, "stop", "stop it", Needs::Nothing, [] { return service_stop(); });
}

}  // namespace dsmtool
