/* SPDX-License-Identifier: GPL-2.0-only OR MIT */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * What the simulated devices' shared models build on, in the kernel
 * (board_*.ko) and in the user-space board alike: fixed-width types, the
 * errno values and a few text helpers of their own. The models call
 * nothing of the kernel's or the C library's; the caller locks around them
 * and hands in the time.
 */
#ifndef MODEL_BASE_H
#define MODEL_BASE_H

#ifdef __KERNEL__
#include <linux/errno.h>
#include <linux/stddef.h>
#include <linux/types.h>
#else
#include <errno.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

typedef uint8_t u8;
typedef int8_t s8;
typedef uint32_t u32;
typedef int32_t s32;
typedef uint64_t u64;
typedef int64_t s64;
#endif

#define MODEL_S32_MIN	(-2147483647 - 1)
#define MODEL_S32_MAX	2147483647
#define MODEL_NS_PER_US	1000
#define MODEL_NS_PER_MS	1000000
#define MODEL_NS_PER_S	1000000000

#define MODEL_ARRAY_SIZE(a)	(sizeof(a) / sizeof((a)[0]))

/* The length of a NUL-terminated text. */
static inline size_t model_strlen(const char *text)
{
	size_t len = 0;

	while (text[len])
		len++;
	return len;
}

/* Whether @len bytes at @text are the NUL-terminated @word exactly. */
static inline bool model_is(const char *text, size_t len, const char *word)
{
	size_t i;

	for (i = 0; i < len; i++)
		if (word[i] != text[i] || !word[i])
			return false;
	return !word[len];
}

#endif /* MODEL_BASE_H */
