// SPDX-License-Identifier: GPL-2.0-only
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * Simulated touch controller: the attribute files of the board's touch
 * controller driver at /sys/devices/platform/ocp/42010000.padprobe/, in the
 * folders common_config, etc_config and chx_config, over the model in
 * touch_model.c. Tests steer it through debugfs (touch_control.c).
 *
 * The driver's state belongs to the bound device and to every open control
 * file; an unbind marks it gone, and a call that still reaches it answers
 * ENODEV.
 */
#include <linux/atomic.h>
#include <linux/bitmap.h>
#include <linux/device.h>
#include <linux/err.h>
#include <linux/kernel.h>
#include <linux/kref.h>
#include <linux/ktime.h>
#include <linux/minmax.h>
#include <linux/mod_devicetable.h>
#include <linux/module.h>
#include <linux/moduleparam.h>
#include <linux/mutex.h>
#include <linux/platform_device.h>
#include <linux/slab.h>
#include <linux/string.h>
#include <linux/sysfs.h>
#include <linux/vmalloc.h>

#include "board_platform.h"
#include "touch.h"

static unsigned int seed = 1;
module_param(seed, uint, 0444);
MODULE_PARM_DESC(seed, "Seed of the measurement noise (default 1)");

static bool strict;
module_param(strict, bool, 0444);
MODULE_PARM_DESC(strict, "Refuse values wider than their register field (default off)");

static atomic_t touch_claimed = ATOMIC_INIT(0);

struct touch_dev_attr {
	struct device_attribute dattr;
	int id;
};

static int attr_id(struct device_attribute *attr)
{
	return container_of(attr, struct touch_dev_attr, dattr)->id;
}

static ssize_t touch_show(struct device *dev, struct device_attribute *attr,
			  char *buf)
{
	struct touch_dev *td = dev_get_drvdata(dev);
	s32 value;
	int err;

	mutex_lock(&td->lock);
	if (td->gone)
		err = -ENODEV;
	else
		err = touch_model_read(&td->model, attr_id(attr),
				       ktime_get_ns(), &value);
	mutex_unlock(&td->lock);
	if (err)
		return err;
	return sysfs_emit(buf, "%d\n", value);
}

static void log_write(struct touch_dev *td, s64 now, int attr, int ch,
		      const char *text, size_t len, int result)
{
	struct touch_log_entry *e;

	if (td->log_count == TOUCH_LOG_ENTRIES) {
		td->log_first = (td->log_first + 1) % TOUCH_LOG_ENTRIES;
		td->log_count--;
		td->log_dropped++;
	}
	e = &td->log[(td->log_first + td->log_count) % TOUCH_LOG_ENTRIES];
	td->log_count++;
	e->time = now;
	e->result = result;
	e->attr = attr;
	e->ch = ch;
	e->len = min_t(size_t, len, TOUCH_LOG_TEXT);
	e->cut = len > TOUCH_LOG_TEXT;
	memcpy(e->text, text, e->len);
}

static ssize_t touch_store(struct device *dev, struct device_attribute *attr,
			   const char *buf, size_t count)
{
	struct touch_dev *td = dev_get_drvdata(dev);
	int id = attr_id(attr);
	int ch, err;
	s64 now;

	mutex_lock(&td->lock);
	if (td->gone) {
		mutex_unlock(&td->lock);
		return -ENODEV;
	}
	now = ktime_get_ns();
	/* The log names the channel the write was meant for. */
	ch = td->model.selected;
	err = touch_model_write(&td->model, id, buf, count, now);
	log_write(td, now, id, ch, buf, count, err);
	mutex_unlock(&td->lock);
	return err ? err : count;
}

#define TOUCH_ATTR_RW(_name, _id)					\
	static struct touch_dev_attr touch_attr_##_name = {		\
		.dattr = __ATTR(_name, 0644, touch_show, touch_store),	\
		.id = _id,						\
	}
#define TOUCH_ATTR_RO(_name, _id)					\
	static struct touch_dev_attr touch_attr_##_name = {		\
		.dattr = __ATTR(_name, 0444, touch_show, NULL),		\
		.id = _id,						\
	}

TOUCH_ATTR_RW(ctc_enable, TA_CTC_ENABLE);
TOUCH_ATTR_RW(scan_interval, TA_SCAN_INTERVAL);
TOUCH_ATTR_RW(sample_num, TA_SAMPLE_NUM);
TOUCH_ATTR_RW(debounce_times, TA_DEBOUNCE_TIMES);
TOUCH_ATTR_RW(debounce_en, TA_DEBOUNCE_EN);
TOUCH_ATTR_RO(snr_touch, TA_SNR_TOUCH);
TOUCH_ATTR_RO(snr_noise, TA_SNR_NOISE);
TOUCH_ATTR_RW(etc_enable, TA_ETC_ENABLE);
TOUCH_ATTR_RW(etc_interval, TA_ETC_INTERVAL);
TOUCH_ATTR_RW(etc_factor, TA_ETC_FACTOR);
TOUCH_ATTR_RW(etc_step, TA_ETC_STEP);
TOUCH_ATTR_RW(ch_num, TA_CH_NUM);
TOUCH_ATTR_RW(chx_enable, TA_CHX_ENABLE);
TOUCH_ATTR_RW(chx_mbias, TA_CHX_MBIAS);
TOUCH_ATTR_RW(chx_abs_th, TA_CHX_ABS_TH);
TOUCH_ATTR_RW(chx_diff_th, TA_CHX_DIFF_TH);
TOUCH_ATTR_RW(chx_p_noise_th, TA_CHX_P_NOISE_TH);
TOUCH_ATTR_RW(chx_n_noise_th, TA_CHX_N_NOISE_TH);
TOUCH_ATTR_RO(chx_ave_data, TA_CHX_AVE_DATA);
TOUCH_ATTR_RO(chx_baseline, TA_CHX_BASELINE);

/* Indexed by enum touch_attr. */
static struct touch_dev_attr *const touch_dev_attrs[TA_COUNT] = {
	&touch_attr_ctc_enable, &touch_attr_scan_interval,
	&touch_attr_sample_num, &touch_attr_debounce_times,
	&touch_attr_debounce_en, &touch_attr_snr_touch,
	&touch_attr_snr_noise, &touch_attr_etc_enable,
	&touch_attr_etc_interval, &touch_attr_etc_factor,
	&touch_attr_etc_step, &touch_attr_ch_num, &touch_attr_chx_enable,
	&touch_attr_chx_mbias, &touch_attr_chx_abs_th,
	&touch_attr_chx_diff_th, &touch_attr_chx_p_noise_th,
	&touch_attr_chx_n_noise_th, &touch_attr_chx_ave_data,
	&touch_attr_chx_baseline,
};

static struct attribute *common_config_attrs[] = {
	&touch_attr_ctc_enable.dattr.attr,
	&touch_attr_scan_interval.dattr.attr,
	&touch_attr_sample_num.dattr.attr,
	&touch_attr_debounce_times.dattr.attr,
	&touch_attr_debounce_en.dattr.attr,
	&touch_attr_snr_touch.dattr.attr,
	&touch_attr_snr_noise.dattr.attr,
	NULL
};

static struct attribute *etc_config_attrs[] = {
	&touch_attr_etc_enable.dattr.attr,
	&touch_attr_etc_interval.dattr.attr,
	&touch_attr_etc_factor.dattr.attr,
	&touch_attr_etc_step.dattr.attr,
	NULL
};

static struct attribute *chx_config_attrs[] = {
	&touch_attr_ch_num.dattr.attr,
	&touch_attr_chx_enable.dattr.attr,
	&touch_attr_chx_mbias.dattr.attr,
	&touch_attr_chx_abs_th.dattr.attr,
	&touch_attr_chx_diff_th.dattr.attr,
	&touch_attr_chx_p_noise_th.dattr.attr,
	&touch_attr_chx_n_noise_th.dattr.attr,
	&touch_attr_chx_ave_data.dattr.attr,
	&touch_attr_chx_baseline.dattr.attr,
	NULL
};

static const struct attribute_group common_config_group = {
	.name = "common_config",
	.attrs = common_config_attrs,
};

static const struct attribute_group etc_config_group = {
	.name = "etc_config",
	.attrs = etc_config_attrs,
};

static const struct attribute_group chx_config_group = {
	.name = "chx_config",
	.attrs = chx_config_attrs,
};

static const struct attribute_group *touch_groups[] = {
	&common_config_group,
	&etc_config_group,
	&chx_config_group,
	NULL
};

/*
 * The model says whether the file should be there; td->missing says whether
 * it is. Under missing_lock, so that of two lines the later one wins.
 */
int touch_set_missing(struct touch_dev *td, int attr)
{
	const struct attribute *a = &touch_dev_attrs[attr]->dattr.attr;
	const char *group = touch_group_dir(touch_attrs[attr].group);
	bool missing;
	int err = 0;

	mutex_lock(&td->missing_lock);
	/* Taking @lock inside missing_lock is fine: no file goes meanwhile. */
	mutex_lock(&td->lock);
	missing = td->model.missing[attr];
	mutex_unlock(&td->lock);
	if (td->gone) {
		err = -ENODEV;
	} else if (missing && !test_bit(attr, td->missing)) {
		sysfs_remove_file_from_group(&td->dev->kobj, a, group);
		set_bit(attr, td->missing);
	} else if (!missing && test_bit(attr, td->missing)) {
		err = sysfs_add_file_to_group(&td->dev->kobj, a, group);
		if (!err)
			clear_bit(attr, td->missing);
	}
	if (err && err != -ENODEV) {
		/* The file stays away: the model says so too. */
		mutex_lock(&td->lock);
		td->model.missing[attr] = true;
		mutex_unlock(&td->lock);
	}
	mutex_unlock(&td->missing_lock);
	return err;
}

static void touch_free(struct kref *ref)
{
	struct touch_dev *td = container_of(ref, struct touch_dev, ref);

	vfree(td->log);
	mutex_destroy(&td->missing_lock);
	mutex_destroy(&td->lock);
	kfree(td);
}

void touch_get(struct touch_dev *td)
{
	kref_get(&td->ref);
}

void touch_put(struct touch_dev *td)
{
	kref_put(&td->ref, touch_free);
}

/* After the attribute files and the controls are gone. */
static void touch_release(void *data)
{
	struct touch_dev *td = data;

	/* Under both locks, so that either is enough to read it. */
	mutex_lock(&td->missing_lock);
	mutex_lock(&td->lock);
	td->gone = true;
	mutex_unlock(&td->lock);
	mutex_unlock(&td->missing_lock);
	touch_put(td);
}

static int touch_probe(struct platform_device *pdev)
{
	struct device *dev = &pdev->dev;
	struct touch_dev *td;
	int err;

	td = kzalloc(sizeof(*td), GFP_KERNEL);
	if (!td)
		return -ENOMEM;
	kref_init(&td->ref);
	mutex_init(&td->lock);
	mutex_init(&td->missing_lock);
	td->dev = dev;
	err = devm_add_action_or_reset(dev, touch_release, td);
	if (err)
		return err;
	td->log = vzalloc(array_size(TOUCH_LOG_ENTRIES, sizeof(*td->log)));
	if (!td->log)
		return -ENOMEM;
	err = board_claim_single(dev, &touch_claimed);
	if (err)
		return err;
	touch_model_init(&td->model, seed, strict);
	platform_set_drvdata(pdev, td);
	return touch_control_init(td);
}

static const struct platform_device_id touch_ids[] = {
	{ .name = "42010000.padprobe" },
	{ }
};

static struct platform_driver touch_driver = {
	.driver = {
		.name = "board-touch",
		.dev_groups = touch_groups,
	},
	.probe = touch_probe,
	.id_table = touch_ids,
};

/* The board's bus and the controller on it, as its device tree gives them. */
static struct platform_device *ocp_pdev;
static struct platform_device *touch_pdev;

static int __init touch_init(void)
{
	int err;

	err = platform_driver_register(&touch_driver);
	if (err)
		return err;
	ocp_pdev = platform_device_register_simple("ocp", PLATFORM_DEVID_NONE,
						   NULL, 0);
	if (IS_ERR(ocp_pdev)) {
		err = PTR_ERR(ocp_pdev);
		goto err_driver;
	}
	touch_pdev = platform_device_alloc("42010000.padprobe",
					   PLATFORM_DEVID_NONE);
	if (!touch_pdev) {
		err = -ENOMEM;
		goto err_ocp;
	}
	touch_pdev->dev.parent = &ocp_pdev->dev;
	err = platform_device_add(touch_pdev);
	if (err)
		goto err_put;
	return 0;

err_put:
	platform_device_put(touch_pdev);
err_ocp:
	platform_device_unregister(ocp_pdev);
err_driver:
	platform_driver_unregister(&touch_driver);
	return err;
}

static void __exit touch_exit(void)
{
	platform_device_unregister(touch_pdev);
	platform_device_unregister(ocp_pdev);
	platform_driver_unregister(&touch_driver);
}

module_init(touch_init);
module_exit(touch_exit);

MODULE_DESCRIPTION("Simulated touch controller of the board");
MODULE_LICENSE("GPL");
