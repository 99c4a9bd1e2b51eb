// SPDX-License-Identifier: GPL-2.0-only
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * The simulated touch controller's test controls in debugfs, under
 * board_touch/: "control" takes the control lines of the shared control
 * language (touch_command.c; set, get, free, model, noise, touch, missing,
 * restore, fail-read, fail-write) and "writes" lists every write made to an
 * attribute file (touch_log.c). Documented in docs/board/kernel-touch.md.
 */
#include <linux/debugfs.h>
#include <linux/device.h>
#include <linux/fs.h>
#include <linux/kernel.h>
#include <linux/ktime.h>
#include <linux/mutex.h>
#include <linux/seq_file.h>
#include <linux/slab.h>
#include <linux/string.h>
#include <linux/uaccess.h>

#include "touch.h"
#include "touch_command.h"
#include "touch_log.h"

/* One open of "control": the answer to the last line written through it. */
struct control_file {
	struct touch_dev *td;
	/* Serialises reads and writes through this open file. */
	struct mutex lock;
	char reply[TOUCH_REPLY_SIZE];
};

/*
 * Runs one control line on the model, then makes a file disappear or
 * appear when the line asked for it (without the model's lock: removing a
 * file waits for its callbacks). 0, or -errno with "error: ..." in @reply.
 */
static int run_line(struct touch_dev *td, const char *line, size_t len,
		    char *reply)
{
	struct touch_reply r;
	int err;

	mutex_lock(&td->lock);
	if (td->gone) {
		mutex_unlock(&td->lock);
		return -ENODEV;
	}
	err = touch_command_run(&td->model, line, len, ktime_get_ns(), &r);
	mutex_unlock(&td->lock);
	if (!err && r.visibility >= 0) {
		err = touch_set_missing(td, r.visibility);
		if (err)
			touch_command_fail(&r, "cannot restore ",
					   touch_attrs[r.visibility].name,
					   strlen(touch_attrs[r.visibility].name));
	}
	memcpy(reply, r.text, TOUCH_REPLY_SIZE);
	return err;
}

static int control_open(struct inode *inode, struct file *file)
{
	struct control_file *cf = kzalloc(sizeof(*cf), GFP_KERNEL);

	if (!cf)
		return -ENOMEM;
	cf->td = inode->i_private;
	touch_get(cf->td);
	mutex_init(&cf->lock);
	file->private_data = cf;
	return nonseekable_open(inode, file);
}

static int control_release(struct inode *inode, struct file *file)
{
	struct control_file *cf = file->private_data;

	touch_put(cf->td);
	mutex_destroy(&cf->lock);
	kfree(cf);
	return 0;
}

/*
 * Each write holds whole lines; they run in order up to the first that
 * fails, whose error the write returns. Reading gives the answer to the
 * last line that ran.
 */
static ssize_t control_write(struct file *file, const char __user *ubuf,
			     size_t count, loff_t *ppos)
{
	struct control_file *cf = file->private_data;
	char *text, *rest, *line;
	int err = 0;

	if (count > PAGE_SIZE)
		return -EINVAL;
	text = memdup_user_nul(ubuf, count);
	if (IS_ERR(text))
		return PTR_ERR(text);
	rest = text;
	mutex_lock(&cf->lock);
	while (!err && (line = strsep(&rest, "\n")) != NULL) {
		/* Nothing after the last newline: no line left. */
		if (!rest && !*line)
			break;
		err = run_line(cf->td, line, strlen(line), cf->reply);
	}
	*ppos = 0;
	mutex_unlock(&cf->lock);
	kfree(text);
	return err ? err : count;
}

static ssize_t control_read(struct file *file, char __user *ubuf,
			    size_t count, loff_t *ppos)
{
	struct control_file *cf = file->private_data;
	char reply[TOUCH_REPLY_SIZE];

	mutex_lock(&cf->lock);
	memcpy(reply, cf->reply, sizeof(reply));
	mutex_unlock(&cf->lock);
	return simple_read_from_buffer(ubuf, count, ppos, reply,
				       strlen(reply));
}

static const struct file_operations control_fops = {
	.owner = THIS_MODULE,
	.open = control_open,
	.release = control_release,
	.read = control_read,
	.write = control_write,
	.llseek = no_llseek,
};

/*
 * One line a write, as the user-space board's writes.log: the time, the
 * folder and attribute, the selected channel (- unless chx_), the text
 * with C escapes, and ok or the errno of the refusal.
 */
static int writes_show(struct seq_file *s, void *unused)
{
	struct touch_dev *td = s->private;
	/* The longest: every byte of the text escaped to four. */
	char line[4 * TOUCH_LOG_TEXT + 96];
	struct model_text t;
	unsigned int i;

	mutex_lock(&td->lock);
	if (td->gone) {
		mutex_unlock(&td->lock);
		return -ENODEV;
	}
	if (td->log_dropped)
		seq_printf(s, "# %lu earlier writes dropped\n",
			   td->log_dropped);
	for (i = 0; i < td->log_count; i++) {
		const struct touch_log_entry *e =
			&td->log[(td->log_first + i) % TOUCH_LOG_ENTRIES];

		model_text_init(&t, line, sizeof(line));
		touch_log_line(&t, e->time, e->attr, e->ch, e->text, e->len,
			       e->cut, e->result);
		seq_puts(s, line);
	}
	mutex_unlock(&td->lock);
	return 0;
}

static int writes_open(struct inode *inode, struct file *file)
{
	struct touch_dev *td = inode->i_private;
	int err;

	/* A guess: the file grows its buffer if the log grew meanwhile. */
	err = single_open_size(file, writes_show, td,
			       (READ_ONCE(td->log_count) + 1) * 96);
	if (!err)
		touch_get(td);
	return err;
}

/* Not inode->i_private: debugfs may have removed the file by now. */
static int writes_release(struct inode *inode, struct file *file)
{
	struct seq_file *s = file->private_data;

	touch_put(s->private);
	return single_release(inode, file);
}

/* Any write empties the log. */
static ssize_t writes_write(struct file *file, const char __user *ubuf,
			    size_t count, loff_t *ppos)
{
	struct seq_file *s = file->private_data;
	struct touch_dev *td = s->private;

	mutex_lock(&td->lock);
	td->log_first = 0;
	td->log_count = 0;
	td->log_dropped = 0;
	mutex_unlock(&td->lock);
	return count;
}

static const struct file_operations writes_fops = {
	.owner = THIS_MODULE,
	.open = writes_open,
	.read = seq_read,
	.write = writes_write,
	.llseek = seq_lseek,
	.release = writes_release,
};

static void touch_control_remove(void *dir)
{
	debugfs_remove_recursive(dir);
}

int touch_control_init(struct touch_dev *td)
{
	struct dentry *dir = debugfs_create_dir("board_touch", NULL);

	debugfs_create_file("control", 0600, dir, td, &control_fops);
	debugfs_create_file("writes", 0600, dir, td, &writes_fops);
	return devm_add_action_or_reset(td->dev, touch_control_remove, dir);
}
