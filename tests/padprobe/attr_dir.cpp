// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The unit tests' attribute root and the temporary tree behind it.
#include "attr_dir.h"

#include "padprobe/attr_root.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string current_root = "/nonexistent";

int remove_entry(const char *path, const struct stat *, int, FTW *)
{
    return ::remove(path);
}

} // namespace

namespace padprobe {

const char *attr_root()
{
    return current_root.c_str();
}

} // namespace padprobe

namespace padprobe_test {

AttrDir::AttrDir()
{
    char templ[] = "/tmp/padprobe-attr-XXXXXX";
    const char *made = mkdtemp(templ);
    EXPECT_NE(made, nullptr);
    root_ = made != nullptr ? made : "/nonexistent";
    for (const char *dir : {"common_config", "etc_config", "chx_config"})
        mkdir((root_ + "/" + dir).c_str(), 0755);
    current_root = root_;
    // The tool never creates an attribute: every one the driver has exists, empty.
    for (const char *name : {"ctc_enable", "scan_interval", "sample_num", "debounce_times",
                             "debounce_en", "snr_touch", "snr_noise"})
        set(AttrGroup::common, name, "");
    for (const char *name : {"etc_enable", "etc_interval", "etc_factor", "etc_step"})
        set(AttrGroup::etc, name, "");
    for (const char *name : {"ch_num", "chx_enable", "chx_mbias", "chx_abs_th", "chx_diff_th",
                             "chx_p_noise_th", "chx_n_noise_th", "chx_ave_data", "chx_baseline"})
        set(AttrGroup::channel, name, "");
}

AttrDir::~AttrDir()
{
    current_root = "/nonexistent";
    nftw(root_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string AttrDir::path(AttrGroup group, const char *name) const
{
    return root_ + "/" + padprobe::to_string(group) + "/" + name;
}

void AttrDir::set(AttrGroup group, const char *name, const std::string &text) const
{
    std::ofstream file{path(group, name), std::ios::trunc};
    file << text;
}

std::string AttrDir::get(AttrGroup group, const char *name) const
{
    std::ifstream file{path(group, name)};
    if (!file)
        return "<missing>";
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void AttrDir::remove(AttrGroup group, const char *name) const
{
    static_cast<void>(::remove(path(group, name).c_str()));
}

void AttrDir::make_unreadable(AttrGroup group, const char *name) const
{
    remove(group, name);
    mkdir(path(group, name).c_str(), 0755);
}

void AttrDir::make_unwritable(AttrGroup group, const char *name) const
{
    remove(group, name);
    EXPECT_EQ(symlink("/dev/full", path(group, name).c_str()), 0);
}

void AttrDir::make_fifo(AttrGroup group, const char *name) const
{
    remove(group, name);
    EXPECT_EQ(mkfifo(path(group, name).c_str(), 0600), 0);
}

} // namespace padprobe_test
