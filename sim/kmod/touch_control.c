// SPDX-License-Identifier: GPL-2.0-only
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * The simulated touch controller's test controls in debugfs, under
 * board_touch/: "control" takes the control lines of the user-space
 * touchsim (set, get, free, model, noise, touch, missing, restore,
 * fail-read, fail-write) and "writes" lists every write made to an
 * attribute file. Documented in docs/board/kernel-touch.md.
 */
#include <linux/debugfs.h>
#include <linux/device.h>
#include <linux/fs.h>
#include <linux/kernel.h>
#include <linux/kstrtox.h>
#include <linux/ktime.h>
#include <linux/math64.h>
#include <linux/mutex.h>
#include <linux/seq_file.h>
#include <linux/slab.h>
#include <linux/string.h>
#include <linux/time64.h>
#include <linux/uaccess.h>

#include "board_errno.h"
#include "touch.h"

#define MAX_WORDS	6
#define REPLY_SIZE	80

/* One open of "control": the answer to the last line written through it. */
struct control_file {
	struct touch_dev *td;
	/* Serialises reads and writes through this open file. */
	struct mutex lock;
	char reply[REPLY_SIZE];
};

struct words {
	char *word[MAX_WORDS];
	unsigned int count;
	bool too_many;
};

static void split(char *line, struct words *w)
{
	char *word;

	w->count = 0;
	w->too_many = false;
	while ((word = strsep(&line, " \t\r")) != NULL) {
		if (!*word)
			continue;
		if (w->count == MAX_WORDS) {
			w->too_many = true;
			return;
		}
		w->word[w->count++] = word;
	}
}

static bool number(const char *text, s32 *value)
{
	return !kstrtos32(text, 10, value);
}

static bool parse_channel(const char *text, int *ch)
{
	s32 value;

	if (!number(text, &value) || value < 0 || value >= TOUCH_CHANNELS)
		return false;
	*ch = value;
	return true;
}

/* A key names an attribute, with ":CH" for the per-channel ones. */
static bool parse_key(char *text, int *attr, int *ch)
{
	char *channel = strchr(text, ':');

	if (channel)
		*channel++ = '\0';
	*attr = touch_find_attr(text);
	*ch = 0;
	if (*attr < 0)
		return false;
	if (!touch_per_channel(*attr))
		return !channel || !*channel;
	return channel && parse_channel(channel, ch);
}

static __printf(2, 3) int error(char *reply, const char *fmt, ...)
{
	va_list args;
	int len;

	len = scnprintf(reply, REPLY_SIZE, "error: ");
	va_start(args, fmt);
	len += vscnprintf(reply + len, REPLY_SIZE - len, fmt, args);
	va_end(args);
	scnprintf(reply + len, REPLY_SIZE - len, "\n");
	return -EINVAL;
}

static int reply_ok(char *reply)
{
	strscpy(reply, "ok\n", REPLY_SIZE);
	return 0;
}

static int set_fault(struct touch_dev *td, const struct words *w,
		     bool reading, char *reply)
{
	int attr, err;

	if (w->count < 2 || w->count > 3)
		return error(reply, "usage: %s ATTR [ERRNO]", w->word[0]);
	attr = touch_find_attr(w->word[1]);
	if (attr < 0)
		return error(reply, "no attribute %s", w->word[1]);
	err = reading ? EIO : EINVAL;
	if (w->count == 3) {
		err = board_errno_parse(w->word[2]);
		if (!err)
			return error(reply, "unknown errno %s", w->word[2]);
	}
	mutex_lock(&td->lock);
	if (reading)
		td->model.read_error[attr] = err;
	else
		td->model.write_error[attr] = err;
	mutex_unlock(&td->lock);
	return reply_ok(reply);
}

static int set_missing(struct touch_dev *td, const struct words *w,
		       bool missing, char *reply)
{
	int attr, err;

	if (w->count != 2)
		return error(reply, "usage: %s ATTR", w->word[0]);
	attr = touch_find_attr(w->word[1]);
	if (attr < 0)
		return error(reply, "no attribute %s", w->word[1]);
	err = touch_set_missing(td, attr, missing);
	if (err)
		return error(reply, "cannot restore %s (%d)", w->word[1], err);
	if (!missing) {
		mutex_lock(&td->lock);
		td->model.read_error[attr] = 0;
		td->model.write_error[attr] = 0;
		mutex_unlock(&td->lock);
	}
	return reply_ok(reply);
}

static int key_command(struct touch_dev *td, const struct words *w,
		       char *reply)
{
	const char *cmd = w->word[0];
	bool set = !strcmp(cmd, "set");
	int attr, ch, err;
	s32 value;

	if (w->count != (set ? 3 : 2))
		return error(reply, "usage: %s KEY%s", cmd, set ? " VALUE" : "");
	if (!parse_key(w->word[1], &attr, &ch))
		return error(reply, "bad key %s (name, or name:CH for chx_)",
			     w->word[1]);
	if (set && !number(w->word[2], &value))
		return error(reply, "bad value %s", w->word[2]);

	mutex_lock(&td->lock);
	err = 0;
	if (!strcmp(cmd, "get"))
		value = touch_model_value(&td->model, attr, ch, ktime_get_ns());
	else if (set)
		err = touch_model_set(&td->model, attr, ch, value,
				      ktime_get_ns());
	else
		touch_model_free(&td->model, attr, ch);
	mutex_unlock(&td->lock);

	if (err)
		return error(reply, "value out of range");
	if (!strcmp(cmd, "get")) {
		scnprintf(reply, REPLY_SIZE, "%d\n", value);
		return 0;
	}
	return reply_ok(reply);
}

static int model_command(struct touch_dev *td, const struct words *w,
			 char *reply)
{
	struct touch_channel_model model;
	int ch;

	if (w->count != 4 || !parse_channel(w->word[1], &ch) ||
	    !number(w->word[2], &model.offset) ||
	    !number(w->word[3], &model.gain))
		return error(reply, "usage: model CH OFFSET GAIN");
	mutex_lock(&td->lock);
	touch_model_set_channel(&td->model, ch, model, ktime_get_ns());
	mutex_unlock(&td->lock);
	return reply_ok(reply);
}

static int noise_command(struct touch_dev *td, const struct words *w,
			 char *reply)
{
	s32 amplitude;

	if (w->count != 2 || !number(w->word[1], &amplitude) ||
	    amplitude < 0 || amplitude > 10000)
		return error(reply, "usage: noise AMPLITUDE (0 to 10000)");
	mutex_lock(&td->lock);
	td->model.noise_amplitude = amplitude;
	mutex_unlock(&td->lock);
	return reply_ok(reply);
}

static int touch_command(struct touch_dev *td, const struct words *w,
			 char *reply)
{
	s32 depth, duration, delay = 0;
	s64 start;
	int ch;

	if (w->count < 4 || w->count > 5 || !parse_channel(w->word[1], &ch) ||
	    !number(w->word[2], &depth) || !number(w->word[3], &duration) ||
	    duration < 0 ||
	    (w->count == 5 && (!number(w->word[4], &delay) || delay < 0)))
		return error(reply,
			     "usage: touch CH DEPTH DURATION_MS [DELAY_MS]");
	mutex_lock(&td->lock);
	start = ktime_get_ns() + (s64)delay * NSEC_PER_MSEC;
	touch_model_add_touch(&td->model, ch, depth, start,
			      start + (s64)duration * NSEC_PER_MSEC);
	mutex_unlock(&td->lock);
	return reply_ok(reply);
}

/* Runs one control line; 0, or -EINVAL with "error: ..." in @reply. */
static int run_line(struct touch_dev *td, char *line, char *reply)
{
	struct words w;
	const char *cmd;

	split(line, &w);
	if (!w.count || w.word[0][0] == '#')
		return reply_ok(reply);
	if (w.too_many)
		return error(reply, "too many words");
	cmd = w.word[0];
	if (!strcmp(cmd, "set") || !strcmp(cmd, "get") || !strcmp(cmd, "free"))
		return key_command(td, &w, reply);
	if (!strcmp(cmd, "model"))
		return model_command(td, &w, reply);
	if (!strcmp(cmd, "noise"))
		return noise_command(td, &w, reply);
	if (!strcmp(cmd, "touch"))
		return touch_command(td, &w, reply);
	if (!strcmp(cmd, "missing") || !strcmp(cmd, "restore"))
		return set_missing(td, &w, !strcmp(cmd, "missing"), reply);
	if (!strcmp(cmd, "fail-read"))
		return set_fault(td, &w, true, reply);
	if (!strcmp(cmd, "fail-write"))
		return set_fault(td, &w, false, reply);
	return error(reply, "unknown command %s", cmd);
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
	mutex_lock(&cf->td->lock);
	if (cf->td->gone)
		err = -ENODEV;
	mutex_unlock(&cf->td->lock);
	while (!err && (line = strsep(&rest, "\n")) != NULL) {
		/* Nothing after the last newline: no line left. */
		if (!rest && !*line)
			break;
		err = run_line(cf->td, line, cf->reply);
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
	char reply[REPLY_SIZE];

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

static void show_text(struct seq_file *s, const struct touch_log_entry *e)
{
	static const char hex[] = "0123456789abcdef";
	unsigned int i;

	for (i = 0; i < e->len; i++) {
		unsigned char c = e->text[i];

		if (c == '\\')
			seq_puts(s, "\\\\");
		else if (c == '\n')
			seq_puts(s, "\\n");
		else if (c == '\t')
			seq_puts(s, "\\t");
		else if (c < 0x20 || c >= 0x7f)
			seq_printf(s, "\\x%c%c", hex[c >> 4], hex[c & 0xf]);
		else
			seq_putc(s, c);
	}
	if (e->cut)
		seq_puts(s, "...");
}

/*
 * One line a write, as the user-space board's writes.log: the time, the
 * folder and attribute, the selected channel (- unless chx_), the text
 * with C escapes, and ok or the errno of the refusal.
 */
static int writes_show(struct seq_file *s, void *unused)
{
	struct touch_dev *td = s->private;
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
		const struct touch_attr_info *a = &touch_attrs[e->attr];
		const char *name;
		u32 ns;
		u64 sec = div_u64_rem(e->time, NSEC_PER_SEC, &ns);

		seq_printf(s, "%llu.%06u\t%s/%s\t", sec, ns / 1000,
			   touch_group_dir(a->group), a->name);
		if (e->ch < 0)
			seq_puts(s, "-\t");
		else
			seq_printf(s, "%d\t", e->ch);
		show_text(s, e);
		name = board_errno_name(-e->result);
		if (!e->result)
			seq_puts(s, "\tok\n");
		else if (name)
			seq_printf(s, "\t%s\n", name);
		else
			seq_printf(s, "\t%d\n", -e->result);
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
