/* SPDX-License-Identifier: GPL-2.0-only OR MIT */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * The simulated console control device's rule, the same on both boards:
 * which calls it answers with what. ioctl request 0 takes one 129-byte
 * command record (a length byte, then a 128-byte text field); every call
 * is counted from 1, and a test may have chosen calls to fail.
 */
#ifndef CONSOLE_RULE_H
#define CONSOLE_RULE_H

#include "model_base.h"

#define CONSOLE_REQUEST		0
#define CONSOLE_TEXT_SIZE	128
#define CONSOLE_RECORD_SIZE	(1 + CONSOLE_TEXT_SIZE)
#define CONSOLE_FAIL_CALLS	16

struct console_faults {
	bool fail_all;		/* every call to request 0 fails */
	unsigned int calls[CONSOLE_FAIL_CALLS];	/* numbers of calls to fail */
	unsigned int count;
	int error;		/* positive errno of a failed call */
};

/*
 * The answer to call number @call with @request, 0 or -errno; @copied is
 * how copying the record in went (0 or -errno), for request 0 only. A
 * record that could not be read is never made to fail otherwise.
 */
static inline int console_answer(const struct console_faults *f,
				 unsigned int call, unsigned int request,
				 int copied)
{
	unsigned int i;

	if (request != CONSOLE_REQUEST)
		return -ENOTTY;
	if (copied)
		return copied;
	if (f->fail_all)
		return -f->error;
	for (i = 0; i < f->count; i++)
		if (f->calls[i] == call)
			return -f->error;
	return 0;
}

#endif /* CONSOLE_RULE_H */
