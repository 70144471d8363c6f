// dsmservice: the bundled DiskServiceMgr, served over IIOP on one loopback
// port or on a Unix-domain socket, with a control object for tests.
//
//   dsmservice (--port N [--address 127.0.0.1] | --socket PATH)
//              [--control] [--ready-file PATH] [--db PATH] [--verbose]
//
// --port 0 picks a free port. --socket listens on a Unix-domain socket
// instead (mode 0600: only this user can reach it) and no TCP port at all.
// --control activates the control object (reset, faults, seeding): only
// tests ask for it. When ready, the port (or the socket path) is written to
// the ready file. Files the service creates are its user's alone. SIGTERM and SIGINT stop the service cleanly (exit 0). --db keeps the
// objects in an SQLite database at PATH (created when missing, read at
// start); without it they live in memory only. A database that cannot be
// used is reported and the service exits with 1.
#include "Factories.h"
#include "Servant.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/stat.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

struct Options {
    int port = -1;
    std::string address = "127.0.0.1";
    std::string socket;
    bool control = false;
    std::string ready_file;
    std::string db = ":memory:";
    bool verbose = false;
};

[[noreturn]] void usage() {
    std::cerr << "usage: dsmservice (--port N [--address A] | --socket PATH) [--control] [--ready-file PATH]"
                 " [--db PATH] [--verbose]\n";
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage();
            return argv[++i];
        };
        if (a == "--port") o.port = std::atoi(value().c_str());
        else if (a == "--address") o.address = value();
        else if (a == "--socket") o.socket = value();
        else if (a == "--control") o.control = true;
        else if (a == "--ready-file") o.ready_file = value();
        else if (a == "--db") o.db = value();
        else if (a == "--verbose") o.verbose = true;
        else usage();
    }
    if (o.socket.empty() == (o.port < 0) || o.port > 65535) usage();
    return o;
}

// A port that nothing listens on right now, for --port 0.
int free_port(const std::string& address) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

void write_ready(const std::string& path, const std::string& where) {
    if (path.empty()) return;
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << where << '\n';
    }
    std::rename(tmp.c_str(), path.c_str());  // readers never see a partial file
}

void activate(PortableServer::POA_ptr poa, const char* key, PortableServer::Servant servant) {
    PortableServer::ObjectId_var id = PortableServer::string_to_ObjectId(key);
    poa->activate_object_with_id(id.in(), servant);
}

// The ORB marshals nested values by recursion on the thread that replies; a
// scripted root-cause chain of 100,000 levels needs about this much stack
// (reserved address space, committed only as it is used).
constexpr unsigned long kThreadStack = 256ul << 20;

}  // namespace

int main(int argc, char** argv) {
    Options opt = parse(argc, argv);
    // The database, its journal and the socket are the user's alone.
    ::umask(077);
    if (opt.socket.empty() && opt.port == 0) opt.port = free_port(opt.address);
    if (opt.socket.empty() && opt.port <= 0) {
        std::cerr << "dsmservice: no free port on " << opt.address << '\n';
        return 1;
    }

    // Every thread (the ORB's too) inherits the blocked signals; one thread
    // waits for them and shuts the ORB down from an ordinary context.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    const std::string endpoint = opt.socket.empty() ? "giop:tcp:" + opt.address + ":" + std::to_string(opt.port)
                                                    : "giop:unix:" + opt.socket;
    const std::string ready = opt.socket.empty() ? std::to_string(opt.port) : opt.socket;
    const char* orb_options[][2] = {{"endPoint", endpoint.c_str()},
                                    {"unixTransportPermission", "600"},
                                    {"giopMaxMsgSize", "268435456"},
                                    {"traceLevel", opt.verbose ? "10" : "0"},
                                    {nullptr, nullptr}};
    int orb_argc = 0;
    omni_thread::stacksize(kThreadStack);
    std::unique_ptr<svc::Store> store;
    try {
        store = std::make_unique<svc::Store>(opt.db);
    } catch (const svc::StoreError& e) {
        std::cerr << "dsmservice: " << e.what() << '\n';
        return 1;
    }
    try {
        CORBA::ORB_var orb = CORBA::ORB_init(orb_argc, nullptr, "omniORB4", orb_options);
        svc::register_value_factories(orb.in());
        CORBA::Object_var ins_obj = orb->resolve_initial_references("omniINSPOA");
        PortableServer::POA_var ins = PortableServer::POA::_narrow(ins_obj.in());

        svc::Model model(*store);
        model.load();  // needs the value factories
        svc::Faults faults;
        svc::DiskServiceServant dsm(model, faults);
        svc::ControlServant control(model, faults, [] { kill(getpid(), SIGTERM); });
        // Servants first, then the manager: clients never see a missing object.
        activate(ins.in(), "DiskService.DiskServiceMgr", &dsm);
        if (opt.control) activate(ins.in(), "DsmControl", &control);
        PortableServer::POAManager_var manager = ins->the_POAManager();
        manager->activate();

        std::thread waiter([&] {
            int sig = 0;
            sigwait(&stop_signals, &sig);
            orb->shutdown(false);
        });
        write_ready(opt.ready_file, ready);
        orb->run();
        waiter.join();
        orb->destroy();
    } catch (const svc::StoreError& e) {
        std::cerr << "dsmservice: " << e.what() << '\n';
        return 1;
    } catch (const CORBA::Exception& e) {
        std::cerr << "dsmservice: " << e._name() << '\n';
        return 1;
    }
    return 0;
}
