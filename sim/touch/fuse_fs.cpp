// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The attribute tree served through FUSE, as the driver lays it out in sysfs.
//
// The tree is fixed, so inode numbers are fixed too: the mount point (over
// /sys/devices/platform), "ocp", the device folder, the three group folders
// and one inode per attribute.
//
// What an access costs is the round trips to this daemon, each a pair of
// context switches, not the work done here. So files need no OPEN or
// RELEASE: the open handler declines, and the kernel then opens every file
// of the mount by itself. Such a file goes through the page cache, which is
// emptied before every read (op_init), so every read reaches the model: a
// read at offset 0 shows the value of that moment. Every write(2) is passed
// on whole, at once, as sysfs takes it.
#define FUSE_USE_VERSION 312
#include "fuse_fs.h"

#include <fuse_lowlevel.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <sys/stat.h>

#include "value_text.h"

namespace touchsim {

namespace {

constexpr fuse_ino_t root_ino = FUSE_ROOT_ID;
constexpr fuse_ino_t ocp_ino = 2;
constexpr fuse_ino_t device_ino = 3;
constexpr fuse_ino_t first_group_ino = 4;  // + group code
constexpr fuse_ino_t first_attr_ino = 100; // + attribute index
// Nothing moves in the tree but missing attributes, whose entries are
// invalidated explicitly, so the kernel may cache lookups for long.
constexpr double cache_seconds = 3600.0;
// An attribute's attributes, though, are never cached: a read that comes
// back shorter than asked makes the kernel take that as the file's size,
// and a later, longer value would be cut to it. With nothing cached, a read
// past that size asks again, and the size is the 4096 of sysfs once more.
constexpr double attr_cache_seconds = 0.0;

// Set once at start-up, read by the loop's thread.
std::atomic<uint32_t> read_delay_us{0};

constexpr const char *ocp_name = "ocp";
constexpr const char *device_name = "42010000.padprobe";

Simulator &sim_of(fuse_req_t req)
{
    return *static_cast<Simulator *>(fuse_req_userdata(req));
}

fuse_ino_t group_ino(Group g)
{
    return first_group_ino + static_cast<fuse_ino_t>(g);
}

const AttrInfo *attr_of(fuse_ino_t ino)
{
    if (ino < first_attr_ino || ino >= first_attr_ino + attr_count)
        return nullptr;
    return &attribute_table()[ino - first_attr_ino];
}

fuse_ino_t attr_ino(const AttrInfo &a)
{
    return first_attr_ino + static_cast<fuse_ino_t>(a.id);
}

bool is_dir(fuse_ino_t ino)
{
    return ino == root_ino || ino == ocp_ino || ino == device_ino ||
           (ino >= first_group_ino && ino < first_group_ino + 3);
}

bool fill_stat(fuse_ino_t ino, struct stat &st)
{
    st = {};
    st.st_ino = ino;
    if (is_dir(ino)) {
        st.st_mode = S_IFDIR | 0755;
        st.st_nlink = 2;
        return true;
    }
    const AttrInfo *a = attr_of(ino);
    if (a == nullptr)
        return false;
    st.st_mode = S_IFREG | (a->writable ? 0644 : 0444);
    st.st_nlink = 1;
    st.st_size = 4096; // what sysfs reports for every attribute
    return true;
}

// The entries of a folder: the name and inode of each child.
struct Child {
    std::string name;
    fuse_ino_t ino;
};

int children(Simulator &sim, fuse_ino_t dir, Child *out, int max)
{
    int n = 0;
    auto add = [&](const char *name, fuse_ino_t ino) {
        if (n < max)
            out[n++] = {name, ino};
    };
    if (dir == root_ino) {
        add(ocp_name, ocp_ino);
    } else if (dir == ocp_ino) {
        add(device_name, device_ino);
    } else if (dir == device_ino) {
        for (Group g : {Group::common, Group::etc, Group::channel})
            add(group_dir(g), group_ino(g));
    } else if (dir >= first_group_ino && dir < first_group_ino + 3) {
        const std::lock_guard guard(sim.lock);
        for (const AttrInfo &a : attribute_table())
            if (group_ino(a.group) == dir && !sim.model.is_missing(a.id))
                add(a.name, attr_ino(a));
    }
    return n;
}

void op_lookup(fuse_req_t req, fuse_ino_t parent, const char *name)
{
    Child list[attr_count];
    const int n = children(sim_of(req), parent, list, static_cast<int>(attr_count));
    for (int i = 0; i < n; ++i) {
        if (list[i].name != name)
            continue;
        fuse_entry_param e{};
        e.ino = list[i].ino;
        e.attr_timeout = is_dir(e.ino) ? cache_seconds : attr_cache_seconds;
        e.entry_timeout = cache_seconds;
        fill_stat(e.ino, e.attr);
        fuse_reply_entry(req, &e);
        return;
    }
    fuse_reply_err(req, ENOENT);
}

void op_getattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info *)
{
    struct stat st;
    if (!fill_stat(ino, st)) {
        fuse_reply_err(req, ENOENT);
        return;
    }
    fuse_reply_attr(req, &st, is_dir(ino) ? cache_seconds : attr_cache_seconds);
}

// Truncation (a shell's "echo 3 > ch_num") means nothing to an attribute.
void op_setattr(fuse_req_t req, fuse_ino_t ino, struct stat *, int, fuse_file_info *fi)
{
    op_getattr(req, ino, fi);
}

void op_readdir(fuse_req_t req, fuse_ino_t ino, size_t size, off_t off, fuse_file_info *)
{
    if (!is_dir(ino)) {
        fuse_reply_err(req, ENOTDIR);
        return;
    }
    Child list[attr_count];
    const int n = children(sim_of(req), ino, list, static_cast<int>(attr_count));
    std::string buf(size, '\0');
    size_t used = 0;
    for (int i = static_cast<int>(off); i < n; ++i) {
        struct stat st { };
        fill_stat(list[i].ino, st);
        const size_t need = fuse_add_direntry(req, buf.data() + used, size - used,
                                              list[i].name.c_str(), &st, i + 1);
        if (need > size - used)
            break;
        used += need;
    }
    fuse_reply_buf(req, buf.data(), used);
}

// Every read must reach the model, but the kernel opens these files itself
// (op_open) and keeps what it read in the page cache. What empties it is
// that an attribute's reported size (4096) differs from the size the kernel
// takes from the last short read: it drops the pages when it learns the
// size again. With automatic invalidation it asks for the attributes, which
// are never cached, before every read, so every read finds the cache empty
// and reaches the daemon: two round trips for a read, one for a write,
// where OPEN, READ or WRITE and RELEASE were three.
void op_init(void *, fuse_conn_info *conn)
{
    conn->want |= FUSE_CAP_AUTO_INVAL_DATA;
}

// Declining makes the kernel open every file of the mount without asking
// (and release it without telling): two round trips fewer for an access. Opening a read-only
// attribute for writing therefore succeeds; its writes fail with EACCES.
void op_open(fuse_req_t req, fuse_ino_t, fuse_file_info *)
{
    fuse_reply_err(req, ENOSYS);
}

// The kernel reads a whole page at offset 0, so a read at a later offset
// is rare (a reader that goes on after the value's end): it gets the rest
// of a fresh value's text, usually nothing.
void op_read(fuse_req_t req, fuse_ino_t ino, size_t size, off_t off, fuse_file_info *)
{
    const AttrInfo *a = attr_of(ino);
    if (a == nullptr) {
        fuse_reply_err(req, EISDIR);
        return;
    }
    Simulator &sim = sim_of(req);
    int32_t value = 0;
    int err = 0;
    {
        const std::lock_guard guard(sim.lock);
        // A file removed while it was open.
        err = sim.model.is_missing(a->id) ? -ENOENT : sim.model.read(a->id, monotonic_now(), value);
    }
    if (err != 0) {
        fuse_reply_err(req, -err);
        return;
    }
    if (const uint32_t delay = read_delay_us.load(std::memory_order_relaxed); delay != 0) {
        // Outside the lock: the control socket is not held up. The single
        // loop thread is, as every access of a slow bus waits its turn.
        timespec pause{static_cast<time_t>(delay / 1000000),
                       static_cast<long>(delay % 1000000) * 1000};
        while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }
    const ValueText text = format_value(value);
    const auto offset = static_cast<size_t>(off);
    if (offset >= text.length) {
        fuse_reply_buf(req, nullptr, 0);
        return;
    }
    fuse_reply_buf(req, text.text + offset, std::min(size, text.length - offset));
}

void op_write(fuse_req_t req, fuse_ino_t ino, const char *buf, size_t size, off_t, fuse_file_info *)
{
    const AttrInfo *a = attr_of(ino);
    if (a == nullptr) {
        fuse_reply_err(req, EISDIR);
        return;
    }
    Simulator &sim = sim_of(req);
    const std::string_view text(buf, size);
    int err = 0;
    {
        const std::lock_guard guard(sim.lock);
        const double now = monotonic_now();
        const int channel = sim.model.selected_channel();
        // A file removed while it was open.
        err = sim.model.is_missing(a->id) ? -ENOENT : sim.model.write(a->id, text, now);
        sim.writes.record(now, *a, channel, text, err);
    }
    if (err != 0)
        fuse_reply_err(req, -err);
    else
        fuse_reply_write(req, size);
}

fuse_lowlevel_ops make_ops()
{
    fuse_lowlevel_ops ops{};
    ops.init = op_init;
    ops.lookup = op_lookup;
    ops.getattr = op_getattr;
    ops.setattr = op_setattr;
    ops.readdir = op_readdir;
    ops.open = op_open;
    ops.read = op_read;
    ops.write = op_write;
    return ops;
}

const fuse_lowlevel_ops tree_ops = make_ops();

} // namespace

const fuse_lowlevel_ops &attribute_tree_ops()
{
    return tree_ops;
}

void set_read_delay_us(uint32_t delay_us)
{
    read_delay_us.store(delay_us, std::memory_order_relaxed);
}

void forget_attribute_entry(Simulator &sim, const AttrInfo &attr)
{
    if (sim.session == nullptr)
        return;
    const char *name = attr.name;
    fuse_lowlevel_notify_inval_entry(sim.session, group_ino(attr.group), name, std::strlen(name));
}

} // namespace touchsim
