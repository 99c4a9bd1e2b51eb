// SPDX-License-Identifier: GPL-2.0-only
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * Simulated OTP memory: the board's two nvmem views, otp_raw0 (4096 bytes)
 * and otp_map0 (2048 bytes), at /sys/bus/nvmem/devices/otp_*0/nvmem. Like
 * fuses, a write can only set bits: what is stored is the old value OR the
 * new. Reads and writes past the end are the nvmem core's to answer.
 *
 * Test controls in debugfs, under board_otp/otp_raw0/ and otp_map0/:
 * "image" reads and replaces the content as it is (so a test can start from
 * any state), "fail_write" and "fail_read" make every write or read fail
 * with an errno (a name or a number; 0 or "none" for no failure), and
 * "calls" lists each access that reached the driver. Documented in
 * docs/board/kernel-otp.md.
 *
 * The module parameters word_size and stride give the views the access
 * rules of a word-wide fuse controller (4 and 4 in the strict profile):
 * then an offset off the stride or a count of part of a word is refused
 * with EINVAL, as such drivers do.
 *
 * The views' state belongs to the bound device and to every open control
 * file; an unbind marks it gone, and a call that still reaches it answers
 * ENODEV.
 */
#include <linux/atomic.h>
#include <linux/debugfs.h>
#include <linux/device.h>
#include <linux/err.h>
#include <linux/fs.h>
#include <linux/kernel.h>
#include <linux/kref.h>
#include <linux/module.h>
#include <linux/moduleparam.h>
#include <linux/mutex.h>
#include <linux/nvmem-provider.h>
#include <linux/platform_device.h>
#include <linux/seq_file.h>
#include <linux/slab.h>
#include <linux/string.h>
#include <linux/uaccess.h>

#include "board_errno.h"
#include "board_errno_file.h"
#include "board_platform.h"

#define OTP_CALLS	1024
#define OTP_VIEWS	2

static unsigned int word_size = 1;
module_param(word_size, uint, 0444);
MODULE_PARM_DESC(word_size, "Bytes a read or write must be a multiple of: 1, 2 or 4 (default 1)");

static unsigned int stride = 1;
module_param(stride, uint, 0444);
MODULE_PARM_DESC(stride, "Bytes an offset must be a multiple of: 1, 2 or 4 (default 1)");

struct otp_call {
	bool write;
	unsigned int offset;
	unsigned int bytes;
	int result;
};

struct otp_chip;

struct otp_view {
	struct otp_chip *chip;
	const char *name;	/* nvmem name; the device is <name>0 */
	unsigned int size;
	/* Serialises the content, the faults, the call log and @gone. */
	struct mutex lock;
	bool gone;		/* unbound: calls answer ENODEV */
	u8 *data;
	int read_error;		/* positive errno, or 0 */
	int write_error;
	struct board_errno_file fail_read;	/* their controls */
	struct board_errno_file fail_write;
	/* A ring of the latest calls, oldest first from call_first. */
	struct otp_call calls[OTP_CALLS];
	unsigned int call_first;
	unsigned int call_count;
};

struct otp_chip {
	/* Held by the bound device and by each open control file. */
	struct kref ref;
	struct otp_view views[OTP_VIEWS];
};

static atomic_t otp_claimed = ATOMIC_INIT(0);

static void otp_free(struct kref *ref)
{
	struct otp_chip *chip = container_of(ref, struct otp_chip, ref);
	unsigned int i;

	for (i = 0; i < OTP_VIEWS; i++) {
		kfree(chip->views[i].data);
		mutex_destroy(&chip->views[i].lock);
	}
	kfree(chip);
}

static void otp_get(struct otp_view *v)
{
	kref_get(&v->chip->ref);
}

static void otp_put(struct otp_view *v)
{
	kref_put(&v->chip->ref, otp_free);
}

/* What the view answers before looking at a request: 0 or -errno. */
static int otp_check(const struct otp_view *v, unsigned int offset,
		     size_t bytes, int fault)
{
	if (v->gone)
		return -ENODEV;
	if (fault)
		return -fault;
	if (offset > v->size || bytes > v->size - offset)
		return -EINVAL;
	if (offset % stride || bytes % word_size)
		return -EINVAL;
	return 0;
}

static void otp_log(struct otp_view *v, bool write, unsigned int offset,
		    size_t bytes, int result)
{
	struct otp_call *c;

	if (v->call_count == OTP_CALLS) {
		v->call_first = (v->call_first + 1) % OTP_CALLS;
		v->call_count--;
	}
	c = &v->calls[(v->call_first + v->call_count++) % OTP_CALLS];
	c->write = write;
	c->offset = offset;
	c->bytes = bytes;
	c->result = result;
}

/* The nvmem core has already cut the request to the device's size. */
static int otp_reg_read(void *priv, unsigned int offset, void *val,
			size_t bytes)
{
	struct otp_view *v = priv;
	int err;

	mutex_lock(&v->lock);
	err = otp_check(v, offset, bytes, v->read_error);
	if (!err)
		memcpy(val, v->data + offset, bytes);
	otp_log(v, false, offset, bytes, err);
	mutex_unlock(&v->lock);
	return err;
}

static int otp_reg_write(void *priv, unsigned int offset, void *val,
			 size_t bytes)
{
	struct otp_view *v = priv;
	const u8 *bits = val;
	size_t i;
	int err;

	mutex_lock(&v->lock);
	err = otp_check(v, offset, bytes, v->write_error);
	if (!err)
		for (i = 0; i < bytes; i++)
			v->data[offset + i] |= bits[i];
	otp_log(v, true, offset, bytes, err);
	mutex_unlock(&v->lock);
	return err;
}

static ssize_t image_read(struct file *file, char __user *ubuf, size_t count,
			  loff_t *ppos)
{
	struct otp_view *v = file->private_data;
	loff_t pos = *ppos;
	size_t n;
	u8 *copy;
	int err = 0;

	if (pos < 0)
		return -EINVAL;
	if (pos >= v->size || !count)
		return 0;
	n = min_t(size_t, count, v->size - pos);
	copy = kmalloc(n, GFP_KERNEL);
	if (!copy)
		return -ENOMEM;
	mutex_lock(&v->lock);
	if (v->gone)
		err = -ENODEV;
	else
		memcpy(copy, v->data + pos, n);
	mutex_unlock(&v->lock);
	if (!err && copy_to_user(ubuf, copy, n))
		err = -EFAULT;
	kfree(copy);
	if (err)
		return err;
	*ppos = pos + n;
	return n;
}

/* Replaces bytes as given, clearing bits too: a test's way to set a state. */
static ssize_t image_write(struct file *file, const char __user *ubuf,
			   size_t count, loff_t *ppos)
{
	struct otp_view *v = file->private_data;
	loff_t pos = *ppos;
	size_t n;
	u8 *copy;
	int err = 0;

	if (pos < 0)
		return -EINVAL;
	if (!count)
		return 0;
	if (pos >= v->size)
		return -EFBIG;
	n = min_t(size_t, count, v->size - pos);
	copy = memdup_user(ubuf, n);
	if (IS_ERR(copy))
		return PTR_ERR(copy);
	mutex_lock(&v->lock);
	if (v->gone)
		err = -ENODEV;
	else
		memcpy(v->data + pos, copy, n);
	mutex_unlock(&v->lock);
	kfree(copy);
	if (err)
		return err;
	*ppos = pos + n;
	return n;
}

static int image_open(struct inode *inode, struct file *file)
{
	struct otp_view *v = inode->i_private;

	/* Opening with O_TRUNC (a shell's >) wipes the image to zeros. */
	if ((file->f_mode & FMODE_WRITE) && (file->f_flags & O_TRUNC)) {
		mutex_lock(&v->lock);
		if (!v->gone)
			memset(v->data, 0, v->size);
		mutex_unlock(&v->lock);
	}
	otp_get(v);
	file->private_data = v;
	return 0;
}

/* Not inode->i_private: debugfs may have removed the file by now. */
static int image_release(struct inode *inode, struct file *file)
{
	otp_put(file->private_data);
	return 0;
}

static const struct file_operations image_fops = {
	.owner = THIS_MODULE,
	.open = image_open,
	.release = image_release,
	.read = image_read,
	.write = image_write,
	.llseek = default_llseek,
};

/* A control shown through seq_file, holding the view while it is open. */
static int otp_single_open(struct file *file, struct otp_view *v,
			   int (*show)(struct seq_file *, void *))
{
	int err = single_open(file, show, v);

	if (!err)
		otp_get(v);
	return err;
}

static int otp_single_release(struct inode *inode, struct file *file)
{
	struct seq_file *s = file->private_data;

	otp_put(s->private);
	return single_release(inode, file);
}

/* "read|write OFFSET BYTES ok|ERRNO", one line a call, oldest first. */
static int calls_show(struct seq_file *s, void *unused)
{
	struct otp_view *v = s->private;
	unsigned int i;

	mutex_lock(&v->lock);
	for (i = 0; i < v->call_count; i++) {
		const struct otp_call *c =
			&v->calls[(v->call_first + i) % OTP_CALLS];
		const char *name = board_errno_name(-c->result);

		seq_printf(s, "%s %u %u ", c->write ? "write" : "read",
			   c->offset, c->bytes);
		if (!c->result)
			seq_puts(s, "ok\n");
		else if (name)
			seq_printf(s, "%s\n", name);
		else
			seq_printf(s, "%d\n", -c->result);
	}
	mutex_unlock(&v->lock);
	return 0;
}

static int calls_open(struct inode *inode, struct file *file)
{
	return otp_single_open(file, inode->i_private, calls_show);
}

/* Any write empties the list. */
static ssize_t calls_write(struct file *file, const char __user *ubuf,
			   size_t count, loff_t *ppos)
{
	struct seq_file *s = file->private_data;
	struct otp_view *v = s->private;

	mutex_lock(&v->lock);
	v->call_first = 0;
	v->call_count = 0;
	mutex_unlock(&v->lock);
	return count;
}

static const struct file_operations calls_fops = {
	.owner = THIS_MODULE,
	.open = calls_open,
	.read = seq_read,
	.write = calls_write,
	.llseek = seq_lseek,
	.release = otp_single_release,
};

static void otp_debugfs_remove(void *dir)
{
	debugfs_remove_recursive(dir);
}

static void otp_release(void *data)
{
	struct otp_chip *chip = data;
	unsigned int i;

	for (i = 0; i < OTP_VIEWS; i++) {
		mutex_lock(&chip->views[i].lock);
		chip->views[i].gone = true;
		mutex_unlock(&chip->views[i].lock);
	}
	kref_put(&chip->ref, otp_free);
}

static int otp_add_view(struct device *dev, struct otp_view *v)
{
	struct nvmem_config config = {
		.dev = dev,
		.name = v->name,
		.id = 0,
		.owner = THIS_MODULE,
		.type = NVMEM_TYPE_OTP,
		.reg_read = otp_reg_read,
		.reg_write = otp_reg_write,
		.size = v->size,
		.word_size = word_size,
		.stride = stride,
		.priv = v,
	};
	struct nvmem_device *nvmem;

	nvmem = devm_nvmem_register(dev, &config);
	if (IS_ERR(nvmem))
		return dev_err_probe(dev, PTR_ERR(nvmem), "cannot add %s0\n",
				     v->name);
	return 0;
}

static void otp_add_controls(struct dentry *root, struct otp_view *v)
{
	char name[16];
	struct dentry *dir;

	/* Named after the device: otp_raw0, otp_map0. */
	snprintf(name, sizeof(name), "%s0", v->name);
	dir = debugfs_create_dir(name, root);

	debugfs_create_file_size("image", 0600, dir, v, &image_fops, v->size);
	debugfs_create_file("fail_write", 0600, dir, &v->fail_write,
			    &board_errno_fops);
	debugfs_create_file("fail_read", 0600, dir, &v->fail_read,
			    &board_errno_fops);
	debugfs_create_file("calls", 0600, dir, v, &calls_fops);
}

static int otp_probe(struct platform_device *pdev)
{
	struct device *dev = &pdev->dev;
	struct otp_view *views;
	struct otp_chip *chip;
	struct dentry *root;
	unsigned int i;
	int err;

	chip = kzalloc(sizeof(*chip), GFP_KERNEL);
	if (!chip)
		return -ENOMEM;
	kref_init(&chip->ref);
	views = chip->views;
	/*
	 * The raw view holds every fuse word, redundancy and lock words
	 * included; the mapped view the half that software reads as data.
	 */
	views[0].name = "otp_raw";
	views[0].size = 4096;
	views[1].name = "otp_map";
	views[1].size = 2048;
	for (i = 0; i < OTP_VIEWS; i++) {
		struct otp_view *v = &views[i];

		v->chip = chip;
		mutex_init(&v->lock);
		v->fail_read = (struct board_errno_file){
			&v->lock, &v->read_error, &v->gone, true,
			&chip->ref, otp_free,
		};
		v->fail_write = v->fail_read;
		v->fail_write.value = &v->write_error;
	}
	/* From here on the device's release marks the views gone and frees. */
	err = devm_add_action_or_reset(dev, otp_release, chip);
	if (err)
		return err;
	for (i = 0; i < OTP_VIEWS; i++) {
		views[i].data = kzalloc(views[i].size, GFP_KERNEL);
		if (!views[i].data)
			return -ENOMEM;
	}
	err = board_claim_single(dev, &otp_claimed);
	if (err)
		return err;

	err = otp_add_view(dev, &views[0]);
	if (err)
		return err;
	err = otp_add_view(dev, &views[1]);
	if (err)
		return err;

	/* Added last, so removed first: no control outlives the views. */
	root = debugfs_create_dir("board_otp", NULL);
	otp_add_controls(root, &views[0]);
	otp_add_controls(root, &views[1]);
	return devm_add_action_or_reset(dev, otp_debugfs_remove, root);
}

static struct platform_driver otp_driver = {
	.driver = {
		.name = "board-otp",
	},
	.probe = otp_probe,
};

static struct platform_device *otp_pdev;

static bool otp_size_ok(unsigned int bytes)
{
	return bytes == 1 || bytes == 2 || bytes == 4;
}

static int __init otp_init(void)
{
	if (!otp_size_ok(word_size) || !otp_size_ok(stride)) {
		pr_err("board_otp: word_size and stride are 1, 2 or 4\n");
		return -EINVAL;
	}
	otp_pdev = board_register_single(&otp_driver);
	return PTR_ERR_OR_ZERO(otp_pdev);
}

static void __exit otp_exit(void)
{
	board_unregister_single(otp_pdev, &otp_driver);
}

module_init(otp_init);
module_exit(otp_exit);

MODULE_DESCRIPTION("Simulated OTP memory of the board");
MODULE_LICENSE("GPL");
