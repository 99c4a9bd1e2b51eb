// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// board-console: the simulated /dev/console-ctrl, one file on a FUSE mount.
//
// The kernel hands an ioctl on a FUSE file to this daemon with the command
// number and the caller's third argument, but copies no data for request
// 0 (its size bits are zero). So the daemon reads the 129-byte command
// record straight out of the calling process with process_vm_readv, keeps
// it, and answers 0, or -1 with the chosen errno when told to fail.
#define FUSE_USE_VERSION 35

#include "call_log.h"
#include "device_options.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fuse.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/uio.h>

namespace board_console {

namespace {

constexpr std::string_view file_name = "console-ctrl";
constexpr size_t record_size = CONSOLE_RECORD_SIZE; // length byte and 128 text bytes

struct Device {
    DeviceOptions options;
    CallLog log;
    unsigned calls = 0;
};

Device &device()
{
    static Device instance;
    return instance;
}

bool is_device_file(const char *path)
{
    return path[0] == '/' && std::string_view{path + 1} == file_name;
}

int device_getattr(const char *path, struct stat *st, struct fuse_file_info *)
{
    std::memset(st, 0, sizeof *st);
    if (std::string_view{path} == "/") {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    if (!is_device_file(path))
        return -ENOENT;
    st->st_mode = S_IFREG | 0660;
    st->st_nlink = 1;
    return 0;
}

int device_readdir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t,
                   struct fuse_file_info *, enum fuse_readdir_flags)
{
    if (std::string_view{path} != "/")
        return -ENOTDIR;
    fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buffer, file_name.data(), nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    return 0;
}

int device_open(const char *path, struct fuse_file_info *fi)
{
    if (!is_device_file(path))
        return -ENOENT;
    // Nothing is cached: every call must reach this daemon.
    fi->direct_io = 1;
    return 0;
}

// The device has nothing to read and takes nothing by write(2).
int device_read(const char *, char *, size_t, off_t, struct fuse_file_info *)
{
    return 0;
}

int device_write(const char *, const char *, size_t, off_t, struct fuse_file_info *)
{
    return -EINVAL;
}

int device_truncate(const char *path, off_t, struct fuse_file_info *)
{
    return is_device_file(path) ? 0 : -ENOENT;
}

// Copies the record at address from the calling process; -errno on failure.
int read_caller_record(void *address, std::array<std::byte, record_size> &record)
{
    const pid_t caller = fuse_get_context()->pid;
    const struct iovec local {
        record.data(), record.size()
    };
    const struct iovec remote {
        address, record.size()
    };
    const ssize_t count = ::process_vm_readv(caller, &local, 1, &remote, 1, 0);
    if (count < 0)
        return -errno;
    return static_cast<size_t>(count) == record.size() ? 0 : -EFAULT;
}

int device_ioctl(const char *, unsigned int request, void *arg, struct fuse_file_info *,
                 unsigned int, void *)
{
    Device &dev = device();
    const unsigned call = ++dev.calls;
    std::array<std::byte, record_size> record{};
    int copied = 0;
    if (request == CONSOLE_REQUEST) {
        copied = read_caller_record(arg, record);
        if (copied == 0)
            dev.log.add_record(record);
    }
    const int answer = console_answer(&dev.options.faults, call, request, copied);
    dev.log.add_call(call, request, answer);
    return answer;
}

struct fuse_operations make_operations()
{
    struct fuse_operations ops { };
    ops.getattr = device_getattr;
    ops.readdir = device_readdir;
    ops.open = device_open;
    ops.read = device_read;
    ops.write = device_write;
    ops.truncate = device_truncate;
    ops.ioctl = device_ioctl;
    return ops;
}

} // namespace

} // namespace board_console

int main(int argc, char **argv)
{
    using namespace board_console;
    Device &dev = device();
    if (!parse_device_options(argc, argv, dev.options))
        return 2;
    if (!dev.log.open(dev.options.records_path, dev.options.calls_path)) {
        std::perror("board-console: cannot create its log files");
        return 1;
    }
    // Foreground and single-threaded: calls are counted without a lock.
    std::array<char *, 6> fuse_argv{argv[0],
                                    const_cast<char *>("-f"),
                                    const_cast<char *>("-s"),
                                    const_cast<char *>("-o"),
                                    const_cast<char *>("fsname=board-console,subtype=console"),
                                    dev.options.mountpoint.data()};
    const struct fuse_operations ops = make_operations();
    return fuse_main(static_cast<int>(fuse_argv.size()), fuse_argv.data(), &ops, nullptr);
}
