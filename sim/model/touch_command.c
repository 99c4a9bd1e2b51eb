// SPDX-License-Identifier: GPL-2.0-only OR MIT
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * The simulated touch controller's control language: each line split into
 * words, checked, and run against the model.
 */
#include "board_errno.h"
#include "model_text.h"
#include "touch_command.h"

#define MAX_WORDS	6

struct word {
	const char *text;
	size_t len;
};

struct words {
	struct word word[MAX_WORDS];
	unsigned int count;
	bool too_many;
};

static bool blank(char c)
{
	return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

static void split(const char *line, size_t len, struct words *w)
{
	size_t i = 0;
	size_t start;

	w->count = 0;
	w->too_many = false;
	while (i < len) {
		while (i < len && blank(line[i]))
			i++;
		if (i == len)
			return;
		start = i;
		while (i < len && !blank(line[i]))
			i++;
		if (w->count == MAX_WORDS) {
			w->too_many = true;
			return;
		}
		w->word[w->count].text = line + start;
		w->word[w->count].len = i - start;
		w->count++;
	}
}

static bool is(const struct word *w, const char *text)
{
	return model_is(w->text, w->len, text);
}

static bool number(const struct word *w, s32 *value)
{
	/* A word holds no newline, so this is a plain decimal number. */
	return !model_parse_s32(w->text, w->len, value);
}

static bool parse_channel(const char *text, size_t len, int *ch)
{
	s32 value;

	if (!len || text[len - 1] == '\n' ||
	    model_parse_s32(text, len, &value) || value < 0 ||
	    value >= TOUCH_CHANNELS)
		return false;
	*ch = value;
	return true;
}

/* A key names an attribute, with ":CH" for the per-channel ones. */
static bool parse_key(const struct word *w, int *attr, int *ch)
{
	size_t name_len = w->len;
	size_t i;

	for (i = 0; i < w->len; i++) {
		if (w->text[i] == ':') {
			name_len = i;
			break;
		}
	}
	*attr = touch_find_attr(w->text, name_len);
	*ch = 0;
	if (*attr < 0)
		return false;
	if (!touch_per_channel(*attr))
		return name_len + 1 >= w->len;
	return name_len < w->len &&
	       parse_channel(w->text + name_len + 1, w->len - name_len - 1, ch);
}

static int reply_ok(struct touch_reply *reply)
{
	struct model_text t;

	model_text_init(&t, reply->text, sizeof(reply->text));
	model_put(&t, "ok\n");
	return 0;
}

/* "error: WHY[WHAT][TAIL]\n". */
static int error(struct touch_reply *reply, const char *why,
		 const struct word *what, const char *tail)
{
	struct model_text t;

	model_text_init(&t, reply->text, sizeof(reply->text));
	model_put(&t, "error: ");
	model_put(&t, why);
	if (what)
		model_put_n(&t, what->text, what->len);
	if (tail)
		model_put(&t, tail);
	model_put_char(&t, '\n');
	reply->visibility = -1;
	return -EINVAL;
}

int touch_command_fail(struct touch_reply *reply, const char *why,
		       const char *what, size_t what_len)
{
	struct word w = { what, what_len };

	return error(reply, why, &w, NULL);
}

static int set_fault(struct touch_model *m, const struct words *w,
		     bool reading, struct touch_reply *reply)
{
	int attr;
	int err;

	if (w->count < 2 || w->count > 3)
		return error(reply, "usage: ", &w->word[0], " ATTR [ERRNO]");
	attr = touch_find_attr(w->word[1].text, w->word[1].len);
	if (attr < 0)
		return error(reply, "no attribute ", &w->word[1], NULL);
	err = reading ? EIO : EINVAL;
	if (w->count == 3) {
		err = board_errno_parse(w->word[2].text, w->word[2].len);
		if (!err)
			return error(reply, "unknown errno ", &w->word[2],
				     NULL);
	}
	if (reading)
		m->read_error[attr] = err;
	else
		m->write_error[attr] = err;
	return reply_ok(reply);
}

/* The board makes the file disappear or appear after the line has run. */
static int set_missing(struct touch_model *m, const struct words *w,
		       bool missing, struct touch_reply *reply)
{
	int attr;

	if (w->count != 2)
		return error(reply, "usage: ", &w->word[0], " ATTR");
	attr = touch_find_attr(w->word[1].text, w->word[1].len);
	if (attr < 0)
		return error(reply, "no attribute ", &w->word[1], NULL);
	m->missing[attr] = missing;
	if (!missing) {
		m->read_error[attr] = 0;
		m->write_error[attr] = 0;
	}
	reply->visibility = attr;
	return reply_ok(reply);
}

static int key_command(struct touch_model *m, const struct words *w,
		       s64 now, struct touch_reply *reply)
{
	const struct word *cmd = &w->word[0];
	bool set = is(cmd, "set");
	struct model_text t;
	int attr;
	int ch;
	s32 value;

	if (w->count != (set ? 3u : 2u))
		return error(reply, "usage: ", cmd, set ? " KEY VALUE" : " KEY");
	if (!parse_key(&w->word[1], &attr, &ch))
		return error(reply, "bad key ", &w->word[1],
			     " (name, or name:CH for chx_)");
	if (is(cmd, "get")) {
		model_text_init(&t, reply->text, sizeof(reply->text));
		model_put_s64(&t, touch_model_value(m, attr, ch, now));
		model_put_char(&t, '\n');
		return 0;
	}
	if (!set) {
		touch_model_free(m, attr, ch);
		return reply_ok(reply);
	}
	if (!number(&w->word[2], &value))
		return error(reply, "bad value ", &w->word[2], NULL);
	if (touch_model_set(m, attr, ch, value, now))
		return error(reply, "value out of range", NULL, NULL);
	return reply_ok(reply);
}

static int model_command(struct touch_model *m, const struct words *w,
			 s64 now, struct touch_reply *reply)
{
	struct touch_channel_model model;
	int ch;

	if (w->count != 4 ||
	    !parse_channel(w->word[1].text, w->word[1].len, &ch) ||
	    !number(&w->word[2], &model.offset) ||
	    !number(&w->word[3], &model.gain))
		return error(reply, "usage: model CH OFFSET GAIN", NULL, NULL);
	touch_model_set_channel(m, ch, model, now);
	return reply_ok(reply);
}

static int noise_command(struct touch_model *m, const struct words *w,
			 struct touch_reply *reply)
{
	s32 amplitude;

	if (w->count != 2 || !number(&w->word[1], &amplitude) ||
	    amplitude < 0 || amplitude > 10000)
		return error(reply, "usage: noise AMPLITUDE (0 to 10000)",
			     NULL, NULL);
	m->noise_amplitude = amplitude;
	return reply_ok(reply);
}

static int touch_command(struct touch_model *m, const struct words *w,
			 s64 now, struct touch_reply *reply)
{
	s32 depth;
	s32 duration;
	s32 delay = 0;
	s64 start;
	int ch;

	if (w->count < 4 || w->count > 5 ||
	    !parse_channel(w->word[1].text, w->word[1].len, &ch) ||
	    !number(&w->word[2], &depth) || !number(&w->word[3], &duration) ||
	    duration < 0 ||
	    (w->count == 5 && (!number(&w->word[4], &delay) || delay < 0)))
		return error(reply,
			     "usage: touch CH DEPTH DURATION_MS [DELAY_MS]",
			     NULL, NULL);
	start = now + (s64)delay * MODEL_NS_PER_MS;
	touch_model_add_touch(m, ch, depth, start,
			      start + (s64)duration * MODEL_NS_PER_MS);
	return reply_ok(reply);
}

int touch_command_run(struct touch_model *m, const char *line, size_t len,
		      s64 now, struct touch_reply *reply)
{
	const struct word *cmd;
	struct words w;

	reply->visibility = -1;
	split(line, len, &w);
	if (!w.count || w.word[0].text[0] == '#')
		return reply_ok(reply);
	if (w.too_many)
		return error(reply, "too many words", NULL, NULL);
	cmd = &w.word[0];
	if (is(cmd, "set") || is(cmd, "get") || is(cmd, "free"))
		return key_command(m, &w, now, reply);
	if (is(cmd, "model"))
		return model_command(m, &w, now, reply);
	if (is(cmd, "noise"))
		return noise_command(m, &w, reply);
	if (is(cmd, "touch"))
		return touch_command(m, &w, now, reply);
	if (is(cmd, "missing") || is(cmd, "restore"))
		return set_missing(m, &w, is(cmd, "missing"), reply);
	if (is(cmd, "fail-read"))
		return set_fault(m, &w, true, reply);
	if (is(cmd, "fail-write"))
		return set_fault(m, &w, false, reply);
	return error(reply, "unknown command ", cmd, NULL);
}
