/* SPDX-License-Identifier: GPL-2.0-only OR MIT */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * The simulated touch controller's control language, parsed once for both
 * boards: set, get, free, model, noise, touch, missing, restore, fail-read
 * and fail-write, one command a line (docs/board/touch.md). Each board only
 * carries the lines to it (debugfs file, control socket) and, after a
 * missing or restore, makes the file disappear or appear.
 */
#ifndef TOUCH_COMMAND_H
#define TOUCH_COMMAND_H

#include "touch_model.h"

#ifdef __cplusplus
extern "C" {
#endif

#define TOUCH_REPLY_SIZE	80

struct touch_reply {
	/* "ok\n", a value and "\n" for get, or "error: ...\n". */
	char text[TOUCH_REPLY_SIZE];
	/* The attribute whose file must appear or disappear, or -1. */
	int visibility;
};

/*
 * Runs one command line, @len bytes at @line (a trailing newline allowed),
 * against @m at @now (ns); blank lines and lines starting with '#' do
 * nothing. 0, or -EINVAL with "error: ..." in the reply.
 */
int touch_command_run(struct touch_model *m, const char *line, size_t len,
		      s64 now, struct touch_reply *reply);

/* Turns a successful reply into "error: @why @what\n"; returns -EINVAL. */
int touch_command_fail(struct touch_reply *reply, const char *why,
		       const char *what, size_t what_len);

#ifdef __cplusplus
}
#endif

#endif /* TOUCH_COMMAND_H */
