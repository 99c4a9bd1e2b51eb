/* SPDX-License-Identifier: GPL-2.0-only */
/*
 * Copyright (c) 2026 The board-tools authors
 *
 * A simulated device that is one platform device bound to its own driver,
 * so that everything the probe takes is device-managed and goes with the
 * device when the module is removed.
 */
#ifndef BOARD_PLATFORM_H
#define BOARD_PLATFORM_H

#include <linux/atomic.h>
#include <linux/device.h>
#include <linux/err.h>
#include <linux/platform_device.h>

/* Registers @drv and one device of the driver's name; the device or an error. */
static inline struct platform_device *
board_register_single(struct platform_driver *drv)
{
	struct platform_device *pdev;
	int err;

	err = platform_driver_register(drv);
	if (err)
		return ERR_PTR(err);
	pdev = platform_device_register_simple(drv->driver.name,
					       PLATFORM_DEVID_NONE, NULL, 0);
	if (IS_ERR(pdev))
		platform_driver_unregister(drv);
	return pdev;
}

static inline void board_unregister_single(struct platform_device *pdev,
					   struct platform_driver *drv)
{
	platform_device_unregister(pdev);
	platform_driver_unregister(drv);
}

static inline void board_release_single(void *claimed)
{
	atomic_set(claimed, 0);
}

/*
 * Claims the driver's one device for @dev until it is unbound: the device's
 * paths and test controls have fixed names, so a second device (bound
 * through driver_override, say) is refused with EBUSY.
 */
static inline int board_claim_single(struct device *dev, atomic_t *claimed)
{
	if (atomic_cmpxchg(claimed, 0, 1))
		return dev_err_probe(dev, -EBUSY, "the board has one such device\n");
	return devm_add_action_or_reset(dev, board_release_single, claimed);
}

#endif /* BOARD_PLATFORM_H */
