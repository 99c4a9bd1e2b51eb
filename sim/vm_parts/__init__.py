"""The virtual board: an ARM kernel in qemu-system-arm with the package installed."""
