/* SPDX-License-Identifier: GPL-2.0-only OR MIT */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * The simulated touch controller behind the attribute files, one model for
 * both boards (board_touch.ko and the user-space touchsim): settings and
 * their power-on values, the channel selection, measurements from a simple
 * physical model, faults on demand and the strict mode. Integer arithmetic
 * only; time comes in as ns on a monotonic clock, randomness from the
 * caller's seed. Not locked: the caller serialises every call.
 */
#ifndef TOUCH_MODEL_H
#define TOUCH_MODEL_H

#include "model_base.h"

#ifdef __cplusplus
extern "C" {
#endif

#define TOUCH_CHANNELS		9
#define TOUCH_MAX_TOUCHES	256

enum touch_group {
	TOUCH_GROUP_COMMON = 0,
	TOUCH_GROUP_ETC = 1,
	TOUCH_GROUP_CHANNEL = 2,
};

enum touch_attr {
	TA_CTC_ENABLE = 0,
	TA_SCAN_INTERVAL = 1,
	TA_SAMPLE_NUM = 2,
	TA_DEBOUNCE_TIMES = 3,
	TA_DEBOUNCE_EN = 4,
	TA_SNR_TOUCH = 5,
	TA_SNR_NOISE = 6,
	TA_ETC_ENABLE = 7,
	TA_ETC_INTERVAL = 8,
	TA_ETC_FACTOR = 9,
	TA_ETC_STEP = 10,
	TA_CH_NUM = 11,
	TA_CHX_ENABLE = 12,
	TA_CHX_MBIAS = 13,
	TA_CHX_ABS_TH = 14,
	TA_CHX_DIFF_TH = 15,
	TA_CHX_P_NOISE_TH = 16,
	TA_CHX_N_NOISE_TH = 17,
	TA_CHX_AVE_DATA = 18,
	TA_CHX_BASELINE = 19,
	TA_COUNT = 20,
};

struct touch_attr_info {
	const char *name;
	enum touch_group group;
	bool writable;
	/* Values a write may store; others are refused with EINVAL. */
	s32 min;
	s32 max;
	/* The same in the strict mode: the width of the register field. */
	s32 strict_min;
	s32 strict_max;
	/* The power-on value of a setting, on every channel. */
	s32 power_on;
};

extern const struct touch_attr_info touch_attrs[TA_COUNT];

const char *touch_group_dir(enum touch_group group);
/*
 * By name ("chx_mbias") or folder and name ("chx_config/chx_mbias"), @len
 * bytes at @name; the attribute, or -ENOENT.
 */
int touch_find_attr(const char *name, size_t len);
/* Whether the attribute reaches the channel selected through ch_num. */
bool touch_per_channel(int attr);

struct touch_channel_model {
	s32 offset;
	s32 gain;
};

struct touch_event {
	int ch;
	s32 depth;
	s64 start;	/* ns on the monotonic clock */
	s64 end;
};

struct touch_model {
	bool strict;	/* stores are held to the register fields' widths */
	int selected;
	s32 common[TA_COUNT];
	s32 channel[TOUCH_CHANNELS][TA_COUNT];
	struct touch_channel_model model[TOUCH_CHANNELS];
	s64 baseline[TOUCH_CHANNELS];		/* in 1/65536 of a count */
	s64 baseline_time[TOUCH_CHANNELS];	/* ns; < 0 before the first */
	bool average_pinned[TOUCH_CHANNELS];
	s32 average_pin[TOUCH_CHANNELS];
	bool baseline_pinned[TOUCH_CHANNELS];
	s32 baseline_pin[TOUCH_CHANNELS];
	bool snr_touch_pinned;
	s32 snr_touch_pin;
	bool snr_noise_pinned;
	s32 snr_noise_pin;
	/* A ring, oldest first from touch_first. */
	struct touch_event touches[TOUCH_MAX_TOUCHES];
	unsigned int touch_first;
	unsigned int touch_count;
	s32 noise_amplitude;
	u32 random_state;
	/* Faults: no file at all, or every read or write failing (errno). */
	bool missing[TA_COUNT];
	int read_error[TA_COUNT];
	int write_error[TA_COUNT];
};

void touch_model_init(struct touch_model *m, u32 seed, bool strict);

/*
 * The driver side: what reads and writes of the attribute files do. Both
 * return 0 or a negative errno (a refused value, an injected fault).
 */
int touch_model_read(struct touch_model *m, int attr, s64 now, s32 *value);
int touch_model_write(struct touch_model *m, int attr, const char *text,
		      size_t len, s64 now);

/*
 * The control side. @ch is ignored for attributes that are not per channel.
 * Setting a measurement (average, baseline, SNR parts) pins it to the value
 * without noise until it is freed; setting anything else stores it.
 */
int touch_model_set(struct touch_model *m, int attr, int ch, s32 value,
		    s64 now);
void touch_model_free(struct touch_model *m, int attr, int ch);
s32 touch_model_value(struct touch_model *m, int attr, int ch, s64 now);
void touch_model_set_channel(struct touch_model *m, int ch,
			     struct touch_channel_model model, s64 now);
void touch_model_add_touch(struct touch_model *m, int ch, s32 depth,
			   s64 start, s64 end);
/*
 * What an attribute shows right after power-on on channel 0, without noise:
 * the text a plain file of it starts with.
 */
s32 touch_model_power_on(const struct touch_model *m, int attr);

#ifdef __cplusplus
}
#endif

#endif /* TOUCH_MODEL_H */
