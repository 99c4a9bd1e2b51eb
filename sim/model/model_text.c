// SPDX-License-Identifier: GPL-2.0-only OR MIT
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * Numbers in and out of text for the shared models, without the C library
 * or the kernel, so the same code serves both boards.
 */
#include "model_text.h"

int model_parse_s32(const char *text, size_t len, s32 *value)
{
	u64 v = 0;
	u64 limit = (u64)MODEL_S32_MAX;
	bool negative = false, overflow = false;
	size_t i = 0;
	size_t digits;

	if (i < len && (text[i] == '+' || text[i] == '-'))
		negative = text[i++] == '-';
	if (negative)
		limit++;
	for (digits = i; i < len && text[i] >= '0' && text[i] <= '9'; i++) {
		v = v * 10 + (u64)(text[i] - '0');
		if (v > limit) {
			overflow = true;
			v = limit;
		}
	}
	/* As kstrtos32: an overflow first, then digits, then the end. */
	if (overflow)
		return -ERANGE;
	if (i == digits)
		return -EINVAL;
	if (i < len && text[i] == '\n')
		i++;
	if (i != len)
		return -EINVAL;
	*value = negative ? (s32)(0 - v) : (s32)v;
	return 0;
}

void model_text_init(struct model_text *t, char *buf, size_t size)
{
	t->buf = buf;
	t->size = size;
	t->len = 0;
	if (size)
		buf[0] = '\0';
}

void model_put_char(struct model_text *t, char c)
{
	if (t->len + 1 >= t->size)
		return;
	t->buf[t->len++] = c;
	t->buf[t->len] = '\0';
}

void model_put_n(struct model_text *t, const char *text, size_t len)
{
	size_t i;

	for (i = 0; i < len; i++)
		model_put_char(t, text[i]);
}

void model_put(struct model_text *t, const char *text)
{
	model_put_n(t, text, model_strlen(text));
}

void model_put_u64_width(struct model_text *t, u64 value, unsigned int width)
{
	char digits[20];
	unsigned int n = 0;
	u32 rest;

	do {
		value = model_div_u64(value, 10, &rest);
		digits[n++] = (char)('0' + rest);
	} while (value);
	while (width > n) {
		model_put_char(t, '0');
		width--;
	}
	while (n)
		model_put_char(t, digits[--n]);
}

void model_put_s64(struct model_text *t, s64 value)
{
	if (value < 0) {
		model_put_char(t, '-');
		model_put_u64_width(t, 0 - (u64)value, 1);
	} else {
		model_put_u64_width(t, (u64)value, 1);
	}
}

u64 model_div_u64(u64 n, u32 d, u32 *rest)
{
	u64 q = 0;
	u64 r = 0;
	int bit;

	/* Long division, one bit at a time: cheap enough for the few calls. */
	for (bit = 63; bit >= 0; bit--) {
		r = (r << 1) | ((n >> bit) & 1);
		if (r >= d) {
			r -= d;
			q |= (u64)1 << bit;
		}
	}
	if (rest)
		*rest = (u32)r;
	return q;
}
