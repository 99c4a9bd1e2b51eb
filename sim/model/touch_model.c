// SPDX-License-Identifier: GPL-2.0-only OR MIT
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * The simulated touch controller's model, one for both boards: settings,
 * the channel selection, measurements and faults. Kernel code has no
 * floating point, so the baseline's exponential drift is in fixed point:
 * the baseline is kept in 1/65536 of a count and the decay factor
 * exp(-t / 1 s) comes from a table of powers, in whole microseconds.
 */
#include "model_text.h"
#include "touch_model.h"

#define ANY_MIN	MODEL_S32_MIN
#define ANY_MAX	MODEL_S32_MAX

/*
 * Settings take any 32-bit value except where the hardware has a field of
 * fixed width: a channel index, the 6-bit MBias, and on/off flags. In the
 * strict mode every setting is held to the width of its register field, as
 * a driver that refuses what its register cannot hold does.
 */
#define RW(_name, _group, _min, _max, _smin, _smax, _power_on) \
	{ _name, TOUCH_GROUP_##_group, true, _min, _max, _smin, _smax, \
	  _power_on }
#define RO(_name, _group) { _name, TOUCH_GROUP_##_group, false, 0, 0, 0, 0, 0 }

/* The power-on values are the ones every variant of the board starts from. */
const struct touch_attr_info touch_attrs[TA_COUNT] = {
	[TA_CTC_ENABLE] = RW("ctc_enable", COMMON, 0, 1, 0, 1, 0),
	[TA_SCAN_INTERVAL] = RW("scan_interval", COMMON, ANY_MIN, ANY_MAX,
				0, 65535, 10),
	[TA_SAMPLE_NUM] = RW("sample_num", COMMON, ANY_MIN, ANY_MAX, 0, 7, 4),
	[TA_DEBOUNCE_TIMES] = RW("debounce_times", COMMON, ANY_MIN, ANY_MAX,
				 0, 3, 2),
	[TA_DEBOUNCE_EN] = RW("debounce_en", COMMON, 0, 1, 0, 1, 1),
	[TA_SNR_TOUCH] = RO("snr_touch", COMMON),
	[TA_SNR_NOISE] = RO("snr_noise", COMMON),
	[TA_ETC_ENABLE] = RW("etc_enable", ETC, 0, 1, 0, 1, 1),
	[TA_ETC_INTERVAL] = RW("etc_interval", ETC, ANY_MIN, ANY_MAX,
			       0, 127, 1),
	[TA_ETC_FACTOR] = RW("etc_factor", ETC, ANY_MIN, ANY_MAX, 0, 15, 8),
	[TA_ETC_STEP] = RW("etc_step", ETC, ANY_MIN, ANY_MAX, 0, 15, 4),
	[TA_CH_NUM] = RW("ch_num", CHANNEL, 0, TOUCH_CHANNELS - 1,
			 0, TOUCH_CHANNELS - 1, 0),
	[TA_CHX_ENABLE] = RW("chx_enable", CHANNEL, 0, 1, 0, 1, 0),
	[TA_CHX_MBIAS] = RW("chx_mbias", CHANNEL, 0, 63, 0, 63, 20),
	[TA_CHX_ABS_TH] = RW("chx_abs_th", CHANNEL, ANY_MIN, ANY_MAX,
			     0, 4095, 2000),
	[TA_CHX_DIFF_TH] = RW("chx_diff_th", CHANNEL, ANY_MIN, ANY_MAX,
			      0, 4095, 100),
	[TA_CHX_P_NOISE_TH] = RW("chx_p_noise_th", CHANNEL, ANY_MIN, ANY_MAX,
				 0, 4095, 50),
	[TA_CHX_N_NOISE_TH] = RW("chx_n_noise_th", CHANNEL, ANY_MIN, ANY_MAX,
				 0, 4095, 50),
	[TA_CHX_AVE_DATA] = RO("chx_ave_data", CHANNEL),
	[TA_CHX_BASELINE] = RO("chx_baseline", CHANNEL),
};

/*
 * exp(-(2^k us) / 1 s) in units of 2^-32: the baseline's time constant is
 * one second. From 2^25 us on the factor is below 2^-32.
 */
static const u32 decay_table[] = {
	4294963001U,	/* 1 us */
	4294958706U,	/* 2 us */
	4294950116U,	/* 4 us */
	4294932936U,	/* 8 us */
	4294898577U,	/* 16 us */
	4294829859U,	/* 32 us */
	4294692427U,	/* 64 us */
	4294417575U,	/* 128 us */
	4293867925U,	/* 256 us */
	4292768836U,	/* 512 us */
	4290571501U,	/* 1024 us */
	4286180204U,	/* 2048 us */
	4277411090U,	/* 4096 us */
	4259926646U,	/* 8192 us */
	4225171877U,	/* 16384 us */
	4156510670U,	/* 32768 us */
	4022517462U,	/* 65536 us */
	3767350393U,	/* 131072 us */
	3304548791U,	/* 262144 us */
	2542520574U,	/* 524288 us */
	1505112944U,	/* 1048576 us */
	527446385U,	/* 2097152 us */
	64773413U,	/* 4194304 us */
	976863U,	/* 8388608 us */
	222U,	/* 16777216 us */
};

#define BASELINE_SHIFT	16
#define BASELINE_ONE	65536LL		/* 1 << BASELINE_SHIFT */
#define DECAY_ONE	((u64)1 << 32)
#define DECAY_BITS	MODEL_ARRAY_SIZE(decay_table)

const char *touch_group_dir(enum touch_group group)
{
	switch (group) {
	case TOUCH_GROUP_ETC:
		return "etc_config";
	case TOUCH_GROUP_CHANNEL:
		return "chx_config";
	default:
		return "common_config";
	}
}

int touch_find_attr(const char *name, size_t len)
{
	size_t dir_len = 0;
	size_t i;
	const char *dir_name = name;
	int a;

	for (i = 0; i < len; i++) {
		if (name[i] == '/') {
			dir_len = i;
			name += i + 1;
			len -= i + 1;
			break;
		}
	}
	for (a = 0; a < TA_COUNT; a++) {
		const char *dir = touch_group_dir(touch_attrs[a].group);

		if (!model_is(name, len, touch_attrs[a].name))
			continue;
		if (name != dir_name && !model_is(dir_name, dir_len, dir))
			continue;
		return a;
	}
	return -ENOENT;
}

bool touch_per_channel(int attr)
{
	return touch_attrs[attr].group == TOUCH_GROUP_CHANNEL &&
	       attr != TA_CH_NUM;
}

static s64 clamp64(s64 value, s64 low, s64 high)
{
	return value < low ? low : value > high ? high : value;
}

/* Readings are 16-bit conversions. */
static s32 clamp_reading(s64 value)
{
	return (s32)clamp64(value, 0, 65535);
}

void touch_model_init(struct touch_model *m, u32 seed, bool strict)
{
	int ch;
	int a;

	*m = (struct touch_model){ 0 };
	m->strict = strict;
	m->random_state = seed ? seed : 1;
	m->noise_amplitude = 6;
	for (a = 0; a < TA_COUNT; a++) {
		m->common[a] = touch_attrs[a].power_on;
		for (ch = 0; ch < TOUCH_CHANNELS; ch++)
			m->channel[ch][a] = touch_attrs[a].power_on;
	}
	for (ch = 0; ch < TOUCH_CHANNELS; ch++) {
		/* Channels differ a little, so each tunes to its own MBias. */
		m->model[ch].offset = 1000 + 40 * ch;
		m->model[ch].gain = 64;
		m->baseline_time[ch] = -1;
	}
}

static s32 *setting(struct touch_model *m, int attr, int ch)
{
	if (touch_per_channel(attr))
		return &m->channel[ch][attr];
	return &m->common[attr];
}

/*
 * A channel's noise-free, untouched average: offset + gain * MBias. Kept
 * within 32 bits (readings clamp far below that), so the baseline's
 * arithmetic cannot overflow.
 */
static s64 level(const struct touch_model *m, int ch)
{
	s64 value = (s64)m->model[ch].offset +
		    (s64)m->model[ch].gain * m->channel[ch][TA_CHX_MBIAS];

	return clamp64(value, MODEL_S32_MIN, MODEL_S32_MAX);
}

/* exp(-us / 1 s) in units of 2^-32, for us below 2^25. */
static u64 decay(u64 us)
{
	u64 factor = DECAY_ONE;
	unsigned int k;

	for (k = 0; k < DECAY_BITS; k++)
		if (us & ((u64)1 << k))
			factor = (factor * decay_table[k]) >> 32;
	return factor;
}

/* (@a * @b) >> 32 for @a below 2^63, without a 128-bit product. */
static u64 mul_shr32(u64 a, u32 b)
{
	return (a >> 32) * b + (((a & 0xffffffffu) * b) >> 32);
}

/*
 * The baseline moves towards the untouched level exponentially; it is
 * brought up to date lazily, before anything that changes the level. Time
 * is taken in whole microseconds and the rest carried to the next update.
 */
static void settle_baseline(struct touch_model *m, int ch, s64 now)
{
	s64 target = level(m, ch) * BASELINE_ONE;
	s64 delta;
	u64 us;
	u64 factor;
	u64 moved;

	if (m->baseline_time[ch] < 0) {
		m->baseline[ch] = target;
		m->baseline_time[ch] = now;
		return;
	}
	if (now <= m->baseline_time[ch])
		return;
	us = model_div_u64((u64)(now - m->baseline_time[ch]), MODEL_NS_PER_US,
			   NULL);
	if (us >= ((u64)1 << DECAY_BITS)) {
		m->baseline[ch] = target;
		m->baseline_time[ch] = now;
		return;
	}
	m->baseline_time[ch] += (s64)us * MODEL_NS_PER_US;
	factor = decay(us);
	if (!factor) {
		m->baseline[ch] = target;
		return;
	}
	/* baseline += (target - baseline) * (1 - factor) */
	delta = target - m->baseline[ch];
	moved = mul_shr32(delta < 0 ? (u64)-delta : (u64)delta,
			  (u32)(DECAY_ONE - factor));
	m->baseline[ch] += delta < 0 ? -(s64)moved : (s64)moved;
}

/*
 * A new MBias changes the reading at once; the controller takes a fresh
 * baseline then rather than drifting towards it.
 */
static void recalibrate_baseline(struct touch_model *m, int ch, s64 now)
{
	m->baseline[ch] = level(m, ch) * BASELINE_ONE;
	m->baseline_time[ch] = now;
}

static const struct touch_event *touch_at(const struct touch_model *m,
					  unsigned int i)
{
	return &m->touches[(m->touch_first + i) % TOUCH_MAX_TOUCHES];
}

static s64 touch_depth(const struct touch_model *m, int ch, s64 now)
{
	s64 depth = 0;
	unsigned int i;

	for (i = 0; i < m->touch_count; i++) {
		const struct touch_event *t = touch_at(m, i);

		if (t->ch == ch && t->start <= now && now < t->end)
			depth += t->depth;
	}
	return depth;
}

/* The driver reports the strength of the latest touch it saw. */
static s32 last_touch_depth(const struct touch_model *m, s64 now)
{
	const struct touch_event *last = NULL;
	unsigned int i;

	for (i = 0; i < m->touch_count; i++) {
		const struct touch_event *t = touch_at(m, i);

		if (t->start <= now && (!last || t->start >= last->start))
			last = t;
	}
	return last ? last->depth : 0;
}

/* Uniform noise of +- the amplitude from a xorshift generator. */
static s32 noise(struct touch_model *m)
{
	u32 span;

	if (m->noise_amplitude <= 0)
		return 0;
	m->random_state ^= m->random_state << 13;
	m->random_state ^= m->random_state >> 17;
	m->random_state ^= m->random_state << 5;
	span = (u32)(2 * m->noise_amplitude + 1);
	return (s32)(m->random_state % span) - m->noise_amplitude;
}

static s32 measure(struct touch_model *m, int attr, int ch, s64 now)
{
	switch (attr) {
	case TA_CHX_AVE_DATA:
		if (m->average_pinned[ch])
			return m->average_pin[ch];
		return clamp_reading(level(m, ch) - touch_depth(m, ch, now) +
				     noise(m));
	case TA_CHX_BASELINE:
		if (m->baseline_pinned[ch])
			return m->baseline_pin[ch];
		settle_baseline(m, ch, now);
		if (m->baseline[ch] < 0)
			return 0;
		/* Rounded to the nearest count. */
		return clamp_reading((m->baseline[ch] +
				      (BASELINE_ONE / 2)) >>
				     BASELINE_SHIFT);
	case TA_SNR_TOUCH:
		if (m->snr_touch_pinned)
			return m->snr_touch_pin;
		return last_touch_depth(m, now);
	case TA_SNR_NOISE:
		/* Peak to peak of the noise. */
		if (m->snr_noise_pinned)
			return m->snr_noise_pin;
		return m->noise_amplitude > 0 ? 2 * m->noise_amplitude : 0;
	case TA_CH_NUM:
		return m->selected;
	default:
		return *setting(m, attr, ch);
	}
}

int touch_model_read(struct touch_model *m, int attr, s64 now, s32 *value)
{
	if (m->read_error[attr])
		return -m->read_error[attr];
	*value = measure(m, attr, m->selected, now);
	return 0;
}

int touch_model_write(struct touch_model *m, int attr, const char *text,
		      size_t len, s64 now)
{
	const struct touch_attr_info *a = &touch_attrs[attr];
	s32 v;
	int err;

	if (!a->writable)
		return -EACCES;
	if (m->write_error[attr])
		return -m->write_error[attr];
	err = model_parse_s32(text, len, &v);
	if (err)
		return err;
	if (v < (m->strict ? a->strict_min : a->min) ||
	    v > (m->strict ? a->strict_max : a->max))
		return -EINVAL;
	if (attr == TA_CH_NUM) {
		m->selected = v;
		return 0;
	}
	*setting(m, attr, m->selected) = v;
	if (attr == TA_CHX_MBIAS)
		recalibrate_baseline(m, m->selected, now);
	return 0;
}

int touch_model_set(struct touch_model *m, int attr, int ch, s32 value,
		    s64 now)
{
	if (ch < 0 || ch >= TOUCH_CHANNELS)
		return -EINVAL;
	switch (attr) {
	case TA_CHX_AVE_DATA:
		m->average_pinned[ch] = true;
		m->average_pin[ch] = value;
		return 0;
	case TA_CHX_BASELINE:
		m->baseline_pinned[ch] = true;
		m->baseline_pin[ch] = value;
		return 0;
	case TA_SNR_TOUCH:
		m->snr_touch_pinned = true;
		m->snr_touch_pin = value;
		return 0;
	case TA_SNR_NOISE:
		m->snr_noise_pinned = true;
		m->snr_noise_pin = value;
		return 0;
	case TA_CH_NUM:
		if (value < 0 || value >= TOUCH_CHANNELS)
			return -EINVAL;
		m->selected = value;
		return 0;
	default:
		break;
	}
	*setting(m, attr, ch) = value;
	if (attr == TA_CHX_MBIAS)
		recalibrate_baseline(m, ch, now);
	return 0;
}

void touch_model_free(struct touch_model *m, int attr, int ch)
{
	if (ch < 0 || ch >= TOUCH_CHANNELS)
		return;
	if (attr == TA_CHX_AVE_DATA)
		m->average_pinned[ch] = false;
	else if (attr == TA_CHX_BASELINE)
		m->baseline_pinned[ch] = false;
	else if (attr == TA_SNR_TOUCH)
		m->snr_touch_pinned = false;
	else if (attr == TA_SNR_NOISE)
		m->snr_noise_pinned = false;
}

s32 touch_model_value(struct touch_model *m, int attr, int ch, s64 now)
{
	if (ch < 0 || ch >= TOUCH_CHANNELS)
		ch = m->selected;
	return measure(m, attr, ch, now);
}

void touch_model_set_channel(struct touch_model *m, int ch,
			     struct touch_channel_model model, s64 now)
{
	if (ch < 0 || ch >= TOUCH_CHANNELS)
		return;
	settle_baseline(m, ch, now);
	m->model[ch] = model;
}

void touch_model_add_touch(struct touch_model *m, int ch, s32 depth,
			   s64 start, s64 end)
{
	struct touch_event *t;

	/* A scripted session holds a handful; past the ring, forget the oldest. */
	if (m->touch_count == TOUCH_MAX_TOUCHES) {
		m->touch_first = (m->touch_first + 1) % TOUCH_MAX_TOUCHES;
		m->touch_count--;
	}
	t = &m->touches[(m->touch_first + m->touch_count) % TOUCH_MAX_TOUCHES];
	t->ch = ch;
	t->depth = depth;
	t->start = start;
	t->end = end;
	m->touch_count++;
}

s32 touch_model_power_on(const struct touch_model *m, int attr)
{
	switch (attr) {
	case TA_CHX_AVE_DATA:
	case TA_CHX_BASELINE:
		return clamp_reading(level(m, 0));
	case TA_SNR_TOUCH:
		return 0;
	case TA_SNR_NOISE:
		return m->noise_amplitude > 0 ? 2 * m->noise_amplitude : 0;
	default:
		return touch_attrs[attr].power_on;
	}
}
