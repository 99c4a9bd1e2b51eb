/* SPDX-License-Identifier: GPL-2.0-only */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * Errno names for the simulators' debugfs controls: a test says which error
 * a device answers with as a name ("EBUSY") or a number, as the user-space
 * board's options do.
 */
#ifndef BOARD_ERRNO_H
#define BOARD_ERRNO_H

#include <linux/errno.h>
#include <linux/kernel.h>
#include <linux/kstrtox.h>
#include <linux/string.h>

struct board_errno_name {
	int value;
	const char *name;
};

/* The names the controls know, in a function so that unused copies vanish. */
static inline const struct board_errno_name *
board_errno_table(unsigned int *count)
{
	static const struct board_errno_name names[] = {
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

	*count = ARRAY_SIZE(names);
	return names;
}

/* The name of a positive errno, or NULL when it has none in the table. */
static inline const char *board_errno_name(int err)
{
	unsigned int i, count;
	const struct board_errno_name *names = board_errno_table(&count);

	for (i = 0; i < count; i++)
		if (names[i].value == err)
			return names[i].name;
	return NULL;
}

/*
 * From 512 on the numbers are the kernel's own (ERESTARTSYS and the like):
 * the system call layer never hands them to user space, where they would
 * show as "Unknown error 512", so a device must not answer with one.
 */
#define BOARD_ERRNO_MAX	511

/*
 * Parses an errno given by name or as a number from 1 to BOARD_ERRNO_MAX;
 * a trailing newline is allowed. Returns the positive errno, or 0 for text
 * that is neither.
 */
static inline int board_errno_parse(const char *text)
{
	unsigned int i, count, value;
	const struct board_errno_name *names = board_errno_table(&count);
	size_t len = strlen(text);

	if (len && text[len - 1] == '\n')
		len--;
	for (i = 0; i < count; i++)
		if (strlen(names[i].name) == len &&
		    !strncmp(names[i].name, text, len))
			return names[i].value;
	if (kstrtouint(text, 10, &value) || !value || value > BOARD_ERRNO_MAX)
		return 0;
	return value;
}

#endif /* BOARD_ERRNO_H */
