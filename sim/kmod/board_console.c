// SPDX-License-Identifier: GPL-2.0-only
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * Simulated console control device: /dev/console-ctrl, through which the
 * board hands console commands to its companion core. ioctl request 0
 * takes one 129-byte command record (a length byte, then a 128-byte text
 * field); the device keeps every record and answers 0, or an error when a
 * test asked for one.
 *
 * Test controls in debugfs, under board_console/: "records" (every record
 * received, 129 bytes each), "calls" (one line a call), "fail_all",
 * "fail_calls", "errno" and "reset". Documented in
 * docs/board/kernel-console.md.
 *
 * The device's state belongs to the device and to every open file of
 * /dev/console-ctrl: an unbind (sysfs or rmmod) marks it gone, and calls on
 * files still open then answer ENODEV until their last close frees it.
 */
#include <linux/atomic.h>
#include <linux/build_bug.h>
#include <linux/debugfs.h>
#include <linux/device.h>
#include <linux/err.h>
#include <linux/fs.h>
#include <linux/kernel.h>
#include <linux/kref.h>
#include <linux/miscdevice.h>
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/platform_device.h>
#include <linux/seq_file.h>
#include <linux/slab.h>
#include <linux/string.h>
#include <linux/uaccess.h>
#include <linux/vmalloc.h>

#include "board_errno_file.h"
#include "board_platform.h"
#include "console_rule.h"

#define CONSOLE_MAX_CALLS	4096

/* The command record, as the caller lays it out: no padding, no alignment. */
struct console_record {
	u8 length;
	char text[CONSOLE_TEXT_SIZE];
} __packed;
static_assert(sizeof(struct console_record) == CONSOLE_RECORD_SIZE);

struct console_call {
	unsigned int number;	/* from 1, counting every call */
	unsigned int request;
	int answer;		/* 0 or -errno */
	bool has_record;
	struct console_record record;
};

struct console_dev {
	/* Held by the bound device and by each open file of the device. */
	struct kref ref;
	struct miscdevice misc;
	/* Serialises the calls, their log, the failure settings and @gone. */
	struct mutex lock;
	bool gone;		/* unbound: open files answer ENODEV */
	unsigned int calls;
	/* The first CONSOLE_MAX_CALLS calls since the last reset. */
	struct console_call *log;
	unsigned int logged;
	unsigned long dropped;
	struct console_faults faults;
	struct board_errno_file errno_file;	/* control of faults.error */
};

static atomic_t console_claimed = ATOMIC_INIT(0);

static void console_free(struct kref *ref)
{
	struct console_dev *cd = container_of(ref, struct console_dev, ref);

	vfree(cd->log);
	mutex_destroy(&cd->lock);
	kfree(cd);
}

static void console_put(void *cd)
{
	struct console_dev *d = cd;

	kref_put(&d->ref, console_free);
}

static long console_ioctl(struct file *file, unsigned int request,
			  unsigned long arg)
{
	struct console_dev *cd = file->private_data;
	struct console_record record;
	struct console_call *c = NULL;
	bool has_record = false;
	int copied = 0, answer;

	if (request == CONSOLE_REQUEST) {
		if (copy_from_user(&record, (void __user *)arg, sizeof(record)))
			copied = -EFAULT;
		else
			has_record = true;
	}

	mutex_lock(&cd->lock);
	if (cd->gone) {
		mutex_unlock(&cd->lock);
		return -ENODEV;
	}
	cd->calls++;
	answer = console_answer(&cd->faults, cd->calls, request, copied);
	if (cd->logged < CONSOLE_MAX_CALLS)
		c = &cd->log[cd->logged++];
	else
		cd->dropped++;
	if (c) {
		c->number = cd->calls;
		c->request = request;
		c->answer = answer;
		c->has_record = has_record;
		if (has_record)
			c->record = record;
	}
	mutex_unlock(&cd->lock);
	return answer;
}

static bool console_gone(struct console_dev *cd)
{
	bool gone;

	mutex_lock(&cd->lock);
	gone = cd->gone;
	mutex_unlock(&cd->lock);
	return gone;
}

/* The device has nothing to read and takes nothing by write(2). */
static ssize_t console_read(struct file *file, char __user *ubuf,
			    size_t count, loff_t *ppos)
{
	return console_gone(file->private_data) ? -ENODEV : 0;
}

static ssize_t console_write(struct file *file, const char __user *ubuf,
			     size_t count, loff_t *ppos)
{
	return console_gone(file->private_data) ? -ENODEV : -EINVAL;
}

/*
 * misc_open calls this under its lock, which misc_deregister takes too:
 * the device is still registered, so its state is alive to take a hold on.
 */
static int console_open(struct inode *inode, struct file *file)
{
	struct miscdevice *misc = file->private_data;
	struct console_dev *cd = container_of(misc, struct console_dev, misc);

	kref_get(&cd->ref);
	file->private_data = cd;
	return 0;
}

static int console_release(struct inode *inode, struct file *file)
{
	console_put(file->private_data);
	return 0;
}

static const struct file_operations console_fops = {
	.owner = THIS_MODULE,
	.open = console_open,
	.release = console_release,
	.unlocked_ioctl = console_ioctl,
	.compat_ioctl = compat_ptr_ioctl,
	.read = console_read,
	.write = console_write,
	.llseek = noop_llseek,
};

/* Every record received, 129 bytes each, in order; failed calls included. */
static ssize_t records_read(struct file *file, char __user *ubuf,
			    size_t count, loff_t *ppos)
{
	struct console_dev *cd = file_inode(file)->i_private;
	const size_t size = sizeof(struct console_record);
	loff_t start = 0, pos = *ppos;
	size_t done = 0;
	unsigned int i;
	int err = 0;

	if (pos < 0)
		return -EINVAL;
	mutex_lock(&cd->lock);
	for (i = 0; i < cd->logged && done < count; i++) {
		const struct console_call *c = &cd->log[i];
		size_t skip, n;

		if (!c->has_record)
			continue;
		start += size;
		if (pos + done >= start)
			continue;
		skip = pos + done - (start - size);
		n = min(size - skip, count - done);
		if (copy_to_user(ubuf + done, (const u8 *)&c->record + skip, n)) {
			err = -EFAULT;
			break;
		}
		done += n;
	}
	mutex_unlock(&cd->lock);
	if (!done && err)
		return err;
	*ppos = pos + done;
	return done;
}

static const struct file_operations records_fops = {
	.owner = THIS_MODULE,
	.open = simple_open,
	.read = records_read,
	.llseek = default_llseek,
};

/* "<call number> <request> <answer, 0 or -errno>", one line a call. */
static int calls_show(struct seq_file *s, void *unused)
{
	struct console_dev *cd = s->private;
	unsigned int i;

	mutex_lock(&cd->lock);
	for (i = 0; i < cd->logged; i++)
		seq_printf(s, "%u %u %d\n", cd->log[i].number,
			   cd->log[i].request, cd->log[i].answer);
	if (cd->dropped)
		seq_printf(s, "# %lu later calls not kept\n", cd->dropped);
	mutex_unlock(&cd->lock);
	return 0;
}
DEFINE_SHOW_ATTRIBUTE(calls);

static int fail_calls_show(struct seq_file *s, void *unused)
{
	struct console_dev *cd = s->private;
	unsigned int i;

	mutex_lock(&cd->lock);
	for (i = 0; i < cd->faults.count; i++)
		seq_printf(s, "%s%u", i ? " " : "", cd->faults.calls[i]);
	seq_putc(s, '\n');
	mutex_unlock(&cd->lock);
	return 0;
}

static int fail_calls_open(struct inode *inode, struct file *file)
{
	return single_open(file, fail_calls_show, inode->i_private);
}

/* Replaces the list: call numbers from 1, separated by blanks or commas. */
static ssize_t fail_calls_write(struct file *file, const char __user *ubuf,
				size_t count, loff_t *ppos)
{
	struct console_dev *cd = file_inode(file)->i_private;
	unsigned int calls[CONSOLE_FAIL_CALLS];
	unsigned int n = 0;
	char *text, *rest, *word;
	int err = 0;

	if (count > PAGE_SIZE)
		return -EINVAL;
	text = memdup_user_nul(ubuf, count);
	if (IS_ERR(text))
		return PTR_ERR(text);
	rest = text;
	while ((word = strsep(&rest, " ,\t\n")) != NULL) {
		if (!*word)
			continue;
		if (n == CONSOLE_FAIL_CALLS) {
			err = -E2BIG;
			break;
		}
		err = kstrtouint(word, 10, &calls[n]);
		if (!err && !calls[n])
			err = -EINVAL;
		if (err)
			break;
		n++;
	}
	kfree(text);
	if (err)
		return err;
	mutex_lock(&cd->lock);
	memcpy(cd->faults.calls, calls, n * sizeof(calls[0]));
	cd->faults.count = n;
	mutex_unlock(&cd->lock);
	return count;
}

static const struct file_operations fail_calls_fops = {
	.owner = THIS_MODULE,
	.open = fail_calls_open,
	.read = seq_read,
	.write = fail_calls_write,
	.llseek = seq_lseek,
	.release = single_release,
};

static int fail_all_get(void *data, u64 *value)
{
	struct console_dev *cd = data;

	mutex_lock(&cd->lock);
	*value = cd->faults.fail_all;
	mutex_unlock(&cd->lock);
	return 0;
}

static int fail_all_set(void *data, u64 value)
{
	struct console_dev *cd = data;

	if (value > 1)
		return -EINVAL;
	mutex_lock(&cd->lock);
	cd->faults.fail_all = value;
	mutex_unlock(&cd->lock);
	return 0;
}
DEFINE_DEBUGFS_ATTRIBUTE(fail_all_fops, fail_all_get, fail_all_set, "%llu\n");

/* Writing anything forgets the calls and records and counts from 1 again. */
static ssize_t reset_write(struct file *file, const char __user *ubuf,
			   size_t count, loff_t *ppos)
{
	struct console_dev *cd = file_inode(file)->i_private;

	mutex_lock(&cd->lock);
	cd->calls = 0;
	cd->logged = 0;
	cd->dropped = 0;
	mutex_unlock(&cd->lock);
	return count;
}

static const struct file_operations reset_fops = {
	.owner = THIS_MODULE,
	.open = simple_open,
	.write = reset_write,
	.llseek = noop_llseek,
};

/* No new opens after this; calls on files still open answer ENODEV. */
static void console_unbind(void *data)
{
	struct console_dev *cd = data;

	misc_deregister(&cd->misc);
	mutex_lock(&cd->lock);
	cd->gone = true;
	mutex_unlock(&cd->lock);
}

static void console_debugfs_remove(void *dir)
{
	debugfs_remove_recursive(dir);
}

static int console_probe(struct platform_device *pdev)
{
	struct device *dev = &pdev->dev;
	struct console_dev *cd;
	struct dentry *dir;
	int err;

	cd = kzalloc(sizeof(*cd), GFP_KERNEL);
	if (!cd)
		return -ENOMEM;
	kref_init(&cd->ref);
	mutex_init(&cd->lock);
	cd->faults.error = EIO;
	cd->errno_file = (struct board_errno_file){
		&cd->lock, &cd->faults.error, &cd->gone, false,
		&cd->ref, console_free,
	};
	err = devm_add_action_or_reset(dev, console_put, cd);
	if (err)
		return err;
	cd->log = vzalloc(array_size(CONSOLE_MAX_CALLS, sizeof(*cd->log)));
	if (!cd->log)
		return -ENOMEM;
	err = board_claim_single(dev, &console_claimed);
	if (err)
		return err;

	cd->misc.minor = MISC_DYNAMIC_MINOR;
	cd->misc.name = "console-ctrl";
	cd->misc.fops = &console_fops;
	cd->misc.parent = dev;
	err = misc_register(&cd->misc);
	if (err)
		return dev_err_probe(dev, err, "cannot add /dev/console-ctrl\n");
	err = devm_add_action_or_reset(dev, console_unbind, cd);
	if (err)
		return err;

	/*
	 * Added last, so removed first; debugfs waits for the calls in progress
	 * and lets no new one reach @cd once it has removed a file.
	 */
	dir = debugfs_create_dir("board_console", NULL);
	debugfs_create_file("records", 0400, dir, cd, &records_fops);
	debugfs_create_file("calls", 0400, dir, cd, &calls_fops);
	debugfs_create_file("fail_calls", 0600, dir, cd, &fail_calls_fops);
	debugfs_create_file("errno", 0600, dir, &cd->errno_file,
			    &board_errno_fops);
	debugfs_create_file_unsafe("fail_all", 0600, dir, cd, &fail_all_fops);
	debugfs_create_file("reset", 0200, dir, cd, &reset_fops);
	return devm_add_action_or_reset(dev, console_debugfs_remove, dir);
}

static struct platform_driver console_driver = {
	.driver = {
		.name = "board-console",
	},
	.probe = console_probe,
};

static struct platform_device *console_pdev;

static int __init console_init(void)
{
	console_pdev = board_register_single(&console_driver);
	return PTR_ERR_OR_ZERO(console_pdev);
}

static void __exit console_exit(void)
{
	board_unregister_single(console_pdev, &console_driver);
}

module_init(console_init);
module_exit(console_exit);

MODULE_DESCRIPTION("Simulated console control device of the board");
MODULE_LICENSE("GPL");
