/* SPDX-License-Identifier: GPL-2.0-only */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * The simulated touch controller's driver state, shared by its attribute
 * files (touch_main.c) and its debugfs controls (touch_control.c).
 */
#ifndef TOUCH_H
#define TOUCH_H

#include <linux/device.h>
#include <linux/kref.h>
#include <linux/mutex.h>
#include <linux/types.h>

#include "touch_model.h"

#define TOUCH_LOG_ENTRIES	4096
#define TOUCH_LOG_TEXT		32

/* One write made to an attribute file, refused ones included. */
struct touch_log_entry {
	s64 time;		/* ns on the monotonic clock */
	int result;		/* 0 or -errno */
	u8 attr;
	s8 ch;			/* the channel selected at the write */
	u8 len;			/* bytes kept in text */
	bool cut;		/* the write was longer than text */
	char text[TOUCH_LOG_TEXT];
};

struct touch_dev {
	/* Held by the bound device and by each open control file. */
	struct kref ref;
	struct device *dev;
	/* Serialises the model and the write log. */
	struct mutex lock;
	/* Unbound: calls answer ENODEV. Set under both locks. */
	bool gone;
	struct touch_model model;
	/* A ring of the latest writes, oldest first from log_first. */
	struct touch_log_entry *log;
	unsigned int log_first;
	unsigned int log_count;
	unsigned long log_dropped;
	/*
	 * Serialises taking attribute files away and back. Never held while
	 * taking away a file together with @lock: removing a file waits for
	 * its callbacks, which take @lock.
	 */
	struct mutex missing_lock;
	DECLARE_BITMAP(missing, TA_COUNT);
};

void touch_get(struct touch_dev *td);
void touch_put(struct touch_dev *td);

/* Takes an attribute's file away or puts it back, as the model says. */
int touch_set_missing(struct touch_dev *td, int attr);

/* The debugfs folder and its files, removed with the device. */
int touch_control_init(struct touch_dev *td);

#endif /* TOUCH_H */
