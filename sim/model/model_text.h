/* SPDX-License-Identifier: GPL-2.0-only OR MIT */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * Numbers in and out of text for the shared models: values parsed as the
 * kernel's kstrtos32 does, and answers built in a caller's buffer.
 */
#ifndef MODEL_TEXT_H
#define MODEL_TEXT_H

#include "model_base.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Parses @len bytes at @text as a driver parses a value written to an
 * attribute: an optional sign, decimal digits and at most one trailing
 * newline, nothing else (a NUL inside included). 0, -EINVAL or -ERANGE.
 */
int model_parse_s32(const char *text, size_t len, s32 *value);

/* Text built in a buffer of a fixed size, always NUL-terminated, cut short. */
struct model_text {
	char *buf;
	size_t size;
	size_t len;
};

void model_text_init(struct model_text *t, char *buf, size_t size);
void model_put(struct model_text *t, const char *text);
void model_put_n(struct model_text *t, const char *text, size_t len);
void model_put_char(struct model_text *t, char c);
void model_put_s64(struct model_text *t, s64 value);
/* @value with at least @width digits, zeros in front. */
void model_put_u64_width(struct model_text *t, u64 value, unsigned int width);

/* @n / @d without a 64-bit division, which 32-bit ARM kernels lack. */
u64 model_div_u64(u64 n, u32 d, u32 *rest);

#ifdef __cplusplus
}
#endif

#endif /* MODEL_TEXT_H */
