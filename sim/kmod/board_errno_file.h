/* SPDX-License-Identifier: GPL-2.0-only */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * A debugfs control that holds an errno, for the simulators' fault
 * settings: reading shows the name ("EBUSY") or the number, writing takes
 * either (board_errno.h); "none" or 0 clears it where that is allowed.
 */
#ifndef BOARD_ERRNO_FILE_H
#define BOARD_ERRNO_FILE_H

#include <linux/debugfs.h>
#include <linux/fs.h>
#include <linux/kref.h>
#include <linux/mutex.h>
#include <linux/seq_file.h>
#include <linux/string.h>
#include <linux/uaccess.h>

#include "board_errno.h"

struct board_errno_file {
	struct mutex *lock;	/* guards *value and *gone */
	int *value;		/* positive errno, or 0 for none */
	const bool *gone;	/* the device was unbound: ENODEV */
	bool none;		/* "none" and 0 clear it */
	/* The device's state, held while the control is open. */
	struct kref *ref;
	void (*free)(struct kref *ref);
};

static int board_errno_show(struct seq_file *s, void *unused)
{
	struct board_errno_file *f = s->private;
	const char *name;
	int err;

	mutex_lock(f->lock);
	err = *f->value;
	mutex_unlock(f->lock);
	name = board_errno_name(err);
	if (!err)
		seq_puts(s, "none\n");
	else if (name)
		seq_printf(s, "%s\n", name);
	else
		seq_printf(s, "%d\n", err);
	return 0;
}

static int board_errno_open(struct inode *inode, struct file *file)
{
	struct board_errno_file *f = inode->i_private;
	int err = single_open(file, board_errno_show, f);

	if (!err)
		kref_get(f->ref);
	return err;
}

/* Not inode->i_private: debugfs may have removed the file by now. */
static int board_errno_release(struct inode *inode, struct file *file)
{
	struct board_errno_file *f = ((struct seq_file *)file->private_data)->private;
	struct kref *ref = f->ref;
	void (*free)(struct kref *ref) = f->free;
	int err = single_release(inode, file);

	kref_put(ref, free);
	return err;
}

static ssize_t board_errno_write(struct file *file, const char __user *ubuf,
				 size_t count, loff_t *ppos)
{
	struct board_errno_file *f = ((struct seq_file *)file->private_data)->private;
	char text[16];
	bool gone;
	int err = 0;

	if (!count || count >= sizeof(text))
		return -EINVAL;
	if (copy_from_user(text, ubuf, count))
		return -EFAULT;
	text[count] = '\0';
	if (!f->none || (!sysfs_streq(text, "none") && !sysfs_streq(text, "0"))) {
		err = board_errno_parse(text, count);
		if (!err)
			return -EINVAL;
	}
	mutex_lock(f->lock);
	gone = *f->gone;
	if (!gone)
		*f->value = err;
	mutex_unlock(f->lock);
	return gone ? -ENODEV : count;
}

static const struct file_operations board_errno_fops = {
	.owner = THIS_MODULE,
	.open = board_errno_open,
	.read = seq_read,
	.write = board_errno_write,
	.llseek = seq_lseek,
	.release = board_errno_release,
};

#endif /* BOARD_ERRNO_FILE_H */
