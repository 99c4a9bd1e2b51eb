// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// probe: single system calls on the simulated devices, for sim/kmod's guest
// checks, which busybox alone cannot make (one write(2) of exact bytes,
// pread and pwrite at an offset, ioctl with a command record).
//
//   probe write FILE TEXT           one write(2); \n, \0 and \\ in TEXT
//   probe pread FILE OFFSET LEN     prints up to 32 of the bytes read in hex
//   probe pwrite FILE OFFSET HEX [LEN]
//   probe ioctl FILE REQUEST TEXT   TEXT in a 129-byte record; @bad passes an
//                                   unreadable address, @fill 129 'z' bytes
//   probe rw FILE                   read(2) then write(2) of one byte
//
// FILE "&N" uses descriptor N, inherited from the shell (exec N<>FILE), as
// it is: so a check can keep a file open across an unbind or an rmmod.
// Each call prints "ok N" (N the call's result) or the errno's name ("errno
// N" for a number without one). Built
// with 64-bit file offsets, as the tools are.
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr std::size_t record_size = 129;

struct Fd {
    int fd;
    explicit Fd(int value) : fd(value) { }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd()
    {
        if (fd >= 0)
            close(fd);
    }
};

void print_result(long result, int err)
{
    const char *name = strerrorname_np(err);
    if (result < 0 && name != nullptr)
        std::printf("%s", name);
    else if (result < 0)
        std::printf("errno %d", err);
    else
        std::printf("ok %ld", result);
}

// Opens @path, or for "&N" duplicates the inherited descriptor N.
int open_file(const char *path, int flags)
{
    if (path[0] == '&')
        return dup(static_cast<int>(std::strtol(path + 1, nullptr, 10)));
    return open(path, flags);
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

std::size_t unescape(std::string_view text, std::array<char, 256> &out)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size() && n < out.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out[n++] = next == 'n' ? '\n' : next == '0' ? '\0' : next;
        } else {
            out[n++] = text[i];
        }
    }
    return n;
}

int run(int argc, char **argv)
{
    const std::string_view cmd = argv[1];
    const char *path = argv[2];
    if (cmd == "write" && argc == 4) {
        const Fd f(open_file(path, O_WRONLY));
        if (f.fd < 0) {
            print_result(-1, errno);
            return 0;
        }
        std::array<char, 256> text{};
        const std::size_t n = unescape(argv[3], text);
        print_result(write(f.fd, text.data(), n), errno);
        return 0;
    }
    if (cmd == "pread" && argc == 5) {
        const Fd f(open_file(path, O_RDONLY));
        if (f.fd < 0) {
            print_result(-1, errno);
            return 0;
        }
        static std::array<unsigned char, 8192> buf{};
        const auto len = std::min<std::size_t>(std::strtoul(argv[4], nullptr, 0), buf.size());
        const ssize_t got = pread(f.fd, buf.data(), len, std::strtoll(argv[3], nullptr, 0));
        print_result(got, errno);
        for (ssize_t i = 0; i < got && i < 32; ++i)
            std::printf(" %02x", buf[static_cast<std::size_t>(i)]);
        return 0;
    }
    if (cmd == "pwrite" && (argc == 5 || argc == 6)) {
        const Fd f(open_file(path, O_RDWR));
        if (f.fd < 0) {
            print_result(-1, errno);
            return 0;
        }
        std::array<unsigned char, 4096> buf{};
        const std::string_view hex = argv[4];
        std::size_t n = std::min(hex.size() / 2, buf.size());
        for (std::size_t i = 0; i < n; ++i)
            buf[i] =
                static_cast<unsigned char>(hex_digit(hex[2 * i]) * 16 + hex_digit(hex[2 * i + 1]));
        if (argc == 6)
            n = std::min<std::size_t>(std::strtoul(argv[5], nullptr, 0), buf.size());
        print_result(pwrite(f.fd, buf.data(), n, std::strtoll(argv[3], nullptr, 0)), errno);
        return 0;
    }
    if (cmd == "ioctl" && argc == 5) {
        const Fd f(open_file(path, O_RDWR));
        if (f.fd < 0) {
            print_result(-1, errno);
            return 0;
        }
        std::array<char, record_size> record{};
        const std::string_view text = argv[4];
        void *arg = record.data();
        if (text == "@bad") {
            arg = reinterpret_cast<void *>(std::uintptr_t{16});
        } else if (text == "@fill") {
            record.fill('z');
        } else {
            const std::size_t n = std::min<std::size_t>(text.size(), record_size - 2);
            record[0] = static_cast<char>(n);
            std::memcpy(record.data() + 1, text.data(), n);
        }
        const unsigned long request = std::strtoul(argv[3], nullptr, 0);
        print_result(ioctl(f.fd, request, arg), errno);
        return 0;
    }
    if (cmd == "rw" && argc == 3) {
        const Fd f(open_file(path, O_RDWR));
        if (f.fd < 0) {
            print_result(-1, errno);
            return 0;
        }
        std::array<char, 8> buf{};
        std::printf("read ");
        print_result(read(f.fd, buf.data(), buf.size()), errno);
        std::printf(" write ");
        print_result(write(f.fd, "x", 1), errno);
        return 0;
    }
    std::fputs("usage: probe write|pread|pwrite|ioctl|rw FILE ...\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("usage: probe write|pread|pwrite|ioctl|rw FILE ...\n", stderr);
        return 2;
    }
    const int status = run(argc, argv);
    if (status == 0)
        std::printf("\n");
    return status;
}
