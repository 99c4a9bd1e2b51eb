// SPDX-License-Identifier: GPL-2.0-only OR MIT
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * The write log's lines, formatted once for both boards.
 */
#include "board_errno.h"
#include "touch_log.h"
#include "touch_model.h"

void touch_log_escape(struct model_text *t, const char *text, size_t len)
{
	static const char hex[] = "0123456789abcdef";
	size_t i;

	for (i = 0; i < len; i++) {
		unsigned char c = (unsigned char)text[i];

		if (c == '\\') {
			model_put(t, "\\\\");
		} else if (c == '\n') {
			model_put(t, "\\n");
		} else if (c == '\t') {
			model_put(t, "\\t");
		} else if (c < 0x20 || c >= 0x7f) {
			model_put(t, "\\x");
			model_put_char(t, hex[c >> 4]);
			model_put_char(t, hex[c & 0xf]);
		} else {
			model_put_char(t, (char)c);
		}
	}
}

void touch_log_line(struct model_text *t, s64 now, int attr, int ch,
		    const char *text, size_t len, bool cut, int result)
{
	const struct touch_attr_info *a = &touch_attrs[attr];
	const char *name = board_errno_name(-result);
	u32 ns;
	u64 sec = model_div_u64(now < 0 ? 0 : (u64)now, MODEL_NS_PER_S, &ns);

	model_put_u64_width(t, sec, 1);
	model_put_char(t, '.');
	model_put_u64_width(t, ns / 1000, 6);
	model_put_char(t, '\t');
	model_put(t, touch_group_dir(a->group));
	model_put_char(t, '/');
	model_put(t, a->name);
	model_put_char(t, '\t');
	if (touch_per_channel(attr))
		model_put_s64(t, ch);
	else
		model_put_char(t, '-');
	model_put_char(t, '\t');
	touch_log_escape(t, text, len);
	if (cut)
		model_put(t, "...");
	model_put_char(t, '\t');
	if (!result)
		model_put(t, "ok");
	else if (name)
		model_put(t, name);
	else
		model_put_s64(t, -result);
	model_put_char(t, '\n');
}
