// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The NAN identity keys that pairing setup leaves behind in the medium folder.
#include "nik_cache.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "unique_fd.h"

namespace sdcore_sim {

namespace {
constexpr std::size_t kPathSize = 512;
constexpr std::size_t kTextSize = 2 * sizeof(key_digest) + 1; // hex digits and '\n'

int entry_path(const char *medium_dir, const mac_address &self, const mac_address &peer,
               char (&path)[kPathSize], const char *suffix)
{
    const int n =
        std::snprintf(path, kPathSize, "%s/nik/%02x%02x%02x%02x%02x%02x-%02x%02x%02x%02x%02x%02x%s",
                      medium_dir, self[0], self[1], self[2], self[3], self[4], self[5], peer[0],
                      peer[1], peer[2], peer[3], peer[4], peer[5], suffix);
    return n > 0 && static_cast<std::size_t>(n) < kPathSize ? 0 : -ENAMETOOLONG;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

int nik_cache_store(const char *medium_dir, const mac_address &self, const mac_address &peer,
                    const key_digest &nik)
{
    char folder[kPathSize];
    if (std::snprintf(folder, sizeof folder, "%s/nik", medium_dir) >=
        static_cast<int>(sizeof folder)) {
        return -ENAMETOOLONG;
    }
    if (::mkdir(folder, 0755) != 0 && errno != EEXIST)
        return -errno;
    char path[kPathSize];
    char temporary[kPathSize];
    if (int rc = entry_path(medium_dir, self, peer, path, ""); rc != 0)
        return rc;
    if (int rc = entry_path(medium_dir, self, peer, temporary, ".new"); rc != 0)
        return rc;
    char text[kTextSize + 1];
    for (std::size_t i = 0; i < nik.size(); ++i)
        std::snprintf(text + 2 * i, 3, "%02x", nik[i]);
    text[kTextSize - 1] = '\n';
    unique_fd file(::open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.valid())
        return -errno;
    if (::write(file.get(), text, kTextSize) != static_cast<ssize_t>(kTextSize)) {
        int error = errno != 0 ? errno : EIO;
        ::unlink(temporary);
        return -error;
    }
    file.reset();
    // A reader sees the old entry or the new one, never half of one.
    if (::rename(temporary, path) != 0) {
        int error = errno;
        ::unlink(temporary);
        return -error;
    }
    return 0;
}

int nik_cache_load(const char *medium_dir, const mac_address &self, const mac_address &peer,
                   key_digest &nik)
{
    char path[kPathSize];
    if (int rc = entry_path(medium_dir, self, peer, path, ""); rc != 0)
        return rc;
    unique_fd file(::open(path, O_RDONLY | O_CLOEXEC));
    if (!file.valid())
        return -errno;
    char text[kTextSize + 1] = {};
    const ssize_t got = ::read(file.get(), text, sizeof text);
    if (got < static_cast<ssize_t>(2 * nik.size()))
        return -EBADMSG;
    key_digest parsed{};
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const int high = hex_value(text[2 * i]);
        const int low = hex_value(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return -EBADMSG;
        parsed[i] = static_cast<uint8_t>(high * 16 + low);
    }
    nik = parsed;
    return 0;
}

} // namespace sdcore_sim
