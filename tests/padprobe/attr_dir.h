// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// A temporary attribute tree that the tool's attribute layer reads and writes.
#pragma once

#include "padprobe/attr_access.h"

#include <string>

namespace padprobe_test {

using padprobe::AttrGroup;

// Creates common_config, etc_config and chx_config in a fresh directory, with
// every attribute the driver publishes as an empty file, and points the
// attribute root there for as long as it lives.
class AttrDir {
public:
    AttrDir();
    ~AttrDir();
    AttrDir(const AttrDir &) = delete;
    AttrDir &operator=(const AttrDir &) = delete;

    std::string path(AttrGroup group, const char *name) const;
    // Replaces the file with exactly this text.
    void set(AttrGroup group, const char *name, const std::string &text) const;
    // The file's whole text; "<missing>" when there is none.
    std::string get(AttrGroup group, const char *name) const;
    void remove(AttrGroup group, const char *name) const;
    // A directory in place of the file: opening it for reading works, reading fails.
    void make_unreadable(AttrGroup group, const char *name) const;
    // A link to /dev/full in place of the file: every write fails.
    void make_unwritable(AttrGroup group, const char *name) const;
    // A FIFO in place of the file, for tests that play the driver.
    void make_fifo(AttrGroup group, const char *name) const;

    const std::string &root() const { return root_; }

private:
    std::string root_;
};

} // namespace padprobe_test
