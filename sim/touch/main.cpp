// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// touchsim: the simulated touch controller. Serves the driver's attribute
// tree through FUSE at a mount point and takes control lines on a socket.
//
//   touchsim --mount DIR --state DIR [--init FILE] [--seed N] [--strict]
//            [--read-delay-us US]
//   touchsim --power-on
//
// The state folder receives writes.log (every write to an attribute) and
// control.sock. The init file holds control lines run before mounting.
// --strict refuses values wider than their register field, as the kernel
// module's strict mode does. --read-delay-us answers every read that much
// later, as a slow bus would. --power-on prints "DIR/NAME VALUE" for every
// attribute, what it shows after power-on without noise: the one set of
// values the board's plain-file variant starts from too.
#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <getopt.h>
#include <string>

#include "control.h"
#include "control_socket.h"
#include "fuse_fs.h"
#include "simulator.h"

namespace {

struct Options {
    std::string mount;
    std::string state;
    std::string init;
    uint32_t seed = 1;
    uint32_t read_delay_us = 0;
    bool strict = false;
    bool power_on = false;
};

// A slow bus, not a stalled one: at most a second a read.
constexpr unsigned long read_delay_max_us = 1000000;

void print_usage()
{
    std::fputs("usage: touchsim --mount DIR --state DIR [--init FILE] [--seed N] [--strict]\n"
               "                [--read-delay-us US]\n"
               "       touchsim --power-on\n",
               stderr);
}

bool parse_options(int argc, char **argv, Options &opt)
{
    static const option longopts[] = {
        {"mount", required_argument, nullptr, 'm'},
        {"state", required_argument, nullptr, 's'},
        {"init", required_argument, nullptr, 'i'},
        {"seed", required_argument, nullptr, 'r'},
        {"read-delay-us", required_argument, nullptr, 'd'},
        {"strict", no_argument, nullptr, 't'},
        {"power-on", no_argument, nullptr, 'p'},
        {nullptr, 0, nullptr, 0},
    };
    int c;
    while ((c = getopt_long(argc, argv, "", longopts, nullptr)) != -1) {
        switch (c) {
        case 'm':
            opt.mount = optarg;
            break;
        case 's':
            opt.state = optarg;
            break;
        case 'i':
            opt.init = optarg;
            break;
        case 'r': {
            char *end = nullptr;
            const unsigned long seed = std::strtoul(optarg, &end, 10);
            if (*optarg == '\0' || *end != '\0' || seed > UINT32_MAX) {
                std::fprintf(stderr, "touchsim: bad --seed '%s'\n", optarg);
                return false;
            }
            opt.seed = static_cast<uint32_t>(seed);
            break;
        }
        case 'd': {
            char *end = nullptr;
            const unsigned long delay = std::strtoul(optarg, &end, 10);
            if (*optarg < '0' || *optarg > '9' || *end != '\0' || delay > read_delay_max_us) {
                std::fprintf(stderr, "touchsim: bad --read-delay-us '%s' (0 to %lu)\n", optarg,
                             read_delay_max_us);
                return false;
            }
            opt.read_delay_us = static_cast<uint32_t>(delay);
            break;
        }
        case 't':
            opt.strict = true;
            break;
        case 'p':
            opt.power_on = true;
            break;
        default:
            return false;
        }
    }
    return opt.power_on || (!opt.mount.empty() && !opt.state.empty());
}

bool run_init_file(touchsim::Simulator &sim, const std::string &path)
{
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "touchsim: cannot read %s\n", path.c_str());
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const auto result = touchsim::run_control_line(sim.model, line, touchsim::monotonic_now());
        if (result.reply.rfind("error", 0) == 0) {
            std::fprintf(stderr, "touchsim: %s:%d: %s", path.c_str(), number, result.reply.c_str());
            return false;
        }
    }
    return true;
}

int print_power_on()
{
    const touchsim::TouchModel model;
    for (const touchsim::AttrInfo &a : touchsim::attribute_table())
        std::printf("%s/%s %d\n", touchsim::group_dir(a.group), a.name,
                    static_cast<int>(model.power_on(a.id)));
    return 0;
}

int run(const Options &opt)
{
    if (opt.power_on)
        return print_power_on();
    touchsim::Simulator sim;
    sim.model = touchsim::TouchModel(opt.seed, opt.strict);
    if (!opt.init.empty() && !run_init_file(sim, opt.init))
        return 2;
    const std::string log_path = opt.state + "/writes.log";
    if (int err = sim.writes.open(log_path); err != 0) {
        std::fprintf(stderr, "touchsim: cannot open %s: %s\n", log_path.c_str(),
                     std::strerror(-err));
        return 1;
    }

    char arg0[] = "touchsim";
    char arg1[] = "-o";
    char arg2[] = "fsname=touchsim,subtype=touchsim";
    char *fuse_argv[] = {arg0, arg1, arg2, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, fuse_argv);
    touchsim::set_read_delay_us(opt.read_delay_us);
    const fuse_lowlevel_ops &ops = touchsim::attribute_tree_ops();
    fuse_session *se = fuse_session_new(&args, &ops, sizeof ops, &sim);
    if (se == nullptr) {
        fuse_opt_free_args(&args);
        return 1;
    }
    int status = 1;
    if (fuse_set_signal_handlers(se) == 0) {
        if (fuse_session_mount(se, opt.mount.c_str()) == 0) {
            sim.session = se;
            // The socket appears only once the tree is mounted: a board that
            // waits for it then knows the controller is ready.
            touchsim::ControlSocket control(sim);
            const std::string socket_path = opt.state + "/control.sock";
            if (int err = control.start(socket_path); err != 0) {
                std::fprintf(stderr, "touchsim: cannot serve %s: %s\n", socket_path.c_str(),
                             std::strerror(-err));
            } else {
                // One thread serves the tree: every request is short and
                // never blocks, and a single loop answers fastest.
                status = fuse_session_loop(se) == 0 ? 0 : 1;
            }
            sim.session = nullptr;
            fuse_session_unmount(se);
        }
        fuse_remove_signal_handlers(se);
    }
    fuse_session_destroy(se);
    fuse_opt_free_args(&args);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    Options opt;
    if (!parse_options(argc, argv, opt)) {
        print_usage();
        return 2;
    }
    return run(opt);
}
