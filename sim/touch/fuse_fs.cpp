// The attribute tree served through FUSE, as the driver lays it out in sysfs.
//
// The tree is fixed, so inode numbers are fixed too: the mount point (over
// /sys/devices/platform), "ocp", the device folder, the three group folders
// and one inode per attribute. Files are opened with direct I/O so every
// read reaches the model: a read at offset 0 shows the value of that moment,
// and every write(2) stores its whole text, as sysfs does.
#define FUSE_USE_VERSION 312
#include "fuse_fs.h"

#include <fuse_lowlevel.h>

#include <cerrno>
#include <cstring>
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
        e.attr_timeout = cache_seconds;
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
    fuse_reply_attr(req, &st, cache_seconds);
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

// One open attribute file: the text its first read produced, for reads that
// continue past offset 0.
struct OpenFile {
    Attr attr;
    std::string text;
    bool shown = false;
};

// The open file behind a handle that op_open made.
OpenFile *open_file_of(const fuse_file_info *fi)
{
    // NOLINTNEXTLINE(performance-no-int-to-ptr): FUSE keeps the pointer as an integer
    return reinterpret_cast<OpenFile *>(fi->fh);
}

void op_open(fuse_req_t req, fuse_ino_t ino, fuse_file_info *fi)
{
    const AttrInfo *a = attr_of(ino);
    if (a == nullptr) {
        fuse_reply_err(req, EISDIR);
        return;
    }
    {
        Simulator &sim = sim_of(req);
        const std::lock_guard guard(sim.lock);
        if (sim.model.is_missing(a->id)) {
            fuse_reply_err(req, ENOENT);
            return;
        }
    }
    if ((fi->flags & O_ACCMODE) != O_RDONLY && !a->writable) {
        fuse_reply_err(req, EACCES);
        return;
    }
    fi->direct_io = 1;
    fi->fh = reinterpret_cast<uintptr_t>(new OpenFile{a->id, {}, false});
    if (fuse_reply_open(req, fi) != 0)
        delete open_file_of(fi);
}

void op_release(fuse_req_t req, fuse_ino_t, fuse_file_info *fi)
{
    delete open_file_of(fi);
    fuse_reply_err(req, 0);
}

void op_read(fuse_req_t req, fuse_ino_t, size_t size, off_t off, fuse_file_info *fi)
{
    auto *file = open_file_of(fi);
    if (off == 0 || !file->shown) {
        Simulator &sim = sim_of(req);
        int32_t value = 0;
        int err = 0;
        {
            const std::lock_guard guard(sim.lock);
            err = sim.model.read(file->attr, monotonic_now(), value);
        }
        if (err != 0) {
            fuse_reply_err(req, -err);
            return;
        }
        file->text = format_value(value);
        file->shown = true;
    }
    const auto offset = static_cast<size_t>(off);
    if (offset >= file->text.size()) {
        fuse_reply_buf(req, nullptr, 0);
        return;
    }
    fuse_reply_buf(req, file->text.data() + offset, std::min(size, file->text.size() - offset));
}

void op_write(fuse_req_t req, fuse_ino_t, const char *buf, size_t size, off_t, fuse_file_info *fi)
{
    auto *file = open_file_of(fi);
    Simulator &sim = sim_of(req);
    const std::string_view text(buf, size);
    int err = 0;
    {
        const std::lock_guard guard(sim.lock);
        const double now = monotonic_now();
        const int channel = sim.model.selected_channel();
        err = sim.model.write(file->attr, text, now);
        sim.writes.record(now, info(file->attr), channel, text, err);
    }
    if (err != 0)
        fuse_reply_err(req, -err);
    else
        fuse_reply_write(req, size);
}

fuse_lowlevel_ops make_ops()
{
    fuse_lowlevel_ops ops{};
    ops.lookup = op_lookup;
    ops.getattr = op_getattr;
    ops.setattr = op_setattr;
    ops.readdir = op_readdir;
    ops.open = op_open;
    ops.release = op_release;
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

void forget_attribute_entry(Simulator &sim, const AttrInfo &attr)
{
    if (sim.session == nullptr)
        return;
    const char *name = attr.name;
    fuse_lowlevel_notify_inval_entry(sim.session, group_ino(attr.group), name, std::strlen(name));
}

} // namespace touchsim
