/* SPDX-License-Identifier: GPL-2.0-only OR MIT */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * A line of the simulated touch controller's write log, the same on both
 * boards: every write made to an attribute file, refused ones included.
 */
#ifndef TOUCH_LOG_H
#define TOUCH_LOG_H

#include "model_text.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * "SECONDS.MICROSECONDS\tDIR/NAME\tCH\tTEXT\tRESULT\n": @now in ns, CH the
 * selected channel or "-" for an attribute that is not per channel, the
 * @len bytes written at @text with C escapes ("..." after them when @cut),
 * and "ok" or the errno of the refusal (@result 0 or -errno).
 */
void touch_log_line(struct model_text *t, s64 now, int attr, int ch,
		    const char *text, size_t len, bool cut, int result);

/* @len bytes at @text with \\, \n, \t and \xNN escapes. */
void touch_log_escape(struct model_text *t, const char *text, size_t len);

#ifdef __cplusplus
}
#endif

#endif /* TOUCH_LOG_H */
