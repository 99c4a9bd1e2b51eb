/* SPDX-License-Identifier: GPL-2.0-only OR MIT */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * Errno names for the simulated devices' controls, on both boards: a test
 * says which error a device answers with as a name ("EBUSY") or a number,
 * and the logs show the name where there is one.
 */
#ifndef BOARD_ERRNO_H
#define BOARD_ERRNO_H

#include "model_base.h"

/*
 * From 512 on the numbers are the kernel's own (ERESTARTSYS and the like):
 * the system call layer never hands them to a program, where they would
 * show as "Unknown error 512", so a device must not answer with one.
 */
#define BOARD_ERRNO_MAX	511

struct board_errno_entry {
	int value;
	const char *name;
};

/* The names the controls know, in a function so that unused copies vanish. */
static inline const struct board_errno_entry *
board_errno_table(unsigned int *count)
{
	static const struct board_errno_entry names[] = {
		{ EPERM, "EPERM" },
		{ ENOENT, "ENOENT" },
		{ EIO, "EIO" },
		{ EAGAIN, "EAGAIN" },
		{ EACCES, "EACCES" },
		{ EBUSY, "EBUSY" },
		{ ENODEV, "ENODEV" },
		{ EINVAL, "EINVAL" },
		{ ENOSPC, "ENOSPC" },
		{ ERANGE, "ERANGE" },
		{ ETIMEDOUT, "ETIMEDOUT" },
	};

	*count = MODEL_ARRAY_SIZE(names);
	return names;
}

/* The name of a positive errno, or NULL when it has none in the table. */
static inline const char *board_errno_name(int err)
{
	unsigned int i;
	unsigned int count;
	const struct board_errno_entry *names = board_errno_table(&count);

	for (i = 0; i < count; i++)
		if (names[i].value == err)
			return names[i].name;
	return NULL;
}

/*
 * Parses an errno given by name or as a decimal number from 1 to
 * BOARD_ERRNO_MAX, @len bytes at @text; one trailing newline is allowed.
 * Returns the positive errno, or 0 for text that is neither.
 */
static inline int board_errno_parse(const char *text, size_t len)
{
	unsigned int i;
	unsigned int count;
	const struct board_errno_entry *names = board_errno_table(&count);
	int value = 0;

	if (len && text[len - 1] == '\n')
		len--;
	for (i = 0; i < count; i++)
		if (model_is(text, len, names[i].name))
			return names[i].value;
	if (!len)
		return 0;
	for (i = 0; i < len; i++) {
		if (text[i] < '0' || text[i] > '9')
			return 0;
		value = value * 10 + (text[i] - '0');
		if (value > BOARD_ERRNO_MAX)
			return 0;
	}
	return value;
}

#endif /* BOARD_ERRNO_H */
