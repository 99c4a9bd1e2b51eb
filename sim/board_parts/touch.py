"""The touch controller: its driver's attribute tree, served by touchsim.

The controller's sysfs folders (common_config, etc_config, chx_config under
ocp/42010000.padprobe/) are a FUSE file system mounted over
/sys/devices/platform, because plain files cannot behave like sysfs
attributes (a value replaced whole by a shorter write, chx_ files that show
the channel last written to ch_num). The state folder's touch/ subfolder
holds writes.log (every write the command made) and control.sock (control
lines while the command runs). See docs/board/touch.md.

--touch-plain lays the same tree out as plain files on a tmpfs instead: no
model, no write log, no daemon. It is there to measure what the tool's own
attribute accesses cost without the FUSE round trips of the model.
"""
import os
import subprocess

from board_parts.core import BoardError

MOUNT = "/sys/devices/platform"
DEVICE = "ocp/42010000.padprobe"

# Every attribute of the driver, with the text a plain file starts with.
PLAIN_TREE = {
    "common_config": {
        "ctc_enable": "0",
        "scan_interval": "10",
        "sample_num": "4",
        "debounce_times": "2",
        "debounce_en": "1",
        "snr_touch": "0",
        "snr_noise": "0",
    },
    "etc_config": {"etc_enable": "0", "etc_interval": "20", "etc_factor": "4", "etc_step": "2"},
    "chx_config": {
        "ch_num": "0",
        "chx_enable": "1",
        "chx_mbias": "32",
        "chx_abs_th": "400",
        "chx_diff_th": "200",
        "chx_p_noise_th": "50",
        "chx_n_noise_th": "50",
        "chx_ave_data": "3300",
        "chx_baseline": "3300",
    },
}


class Part:
    title = "touch controller"

    def add_arguments(self, group):
        group.add_argument(
            "--touch", action="store_true", help="simulate the touch controller's attribute files"
        )
        group.add_argument(
            "--touch-do",
            action="append",
            default=[],
            metavar="LINE",
            help="a control line run before the command starts " "(repeatable; implies --touch)",
        )
        group.add_argument(
            "--touch-script",
            metavar="FILE",
            help="a file of control lines run before the command starts " "(implies --touch)",
        )
        group.add_argument(
            "--touch-seed",
            type=int,
            default=1,
            metavar="N",
            help="seed of the measurement noise (default 1)",
        )
        group.add_argument(
            "--touch-read-delay",
            type=int,
            default=0,
            metavar="US",
            help="answer every attribute read US microseconds later, as a slow bus "
            "would (0 to 1000000; default 0; implies --touch)",
        )
        group.add_argument(
            "--touch-plain",
            action="store_true",
            help="the attribute files as plain files on a tmpfs, without "
            "the model (for measuring the tool's own cost; wins over "
            "--touch)",
        )

    def enabled(self, args):
        return bool(
            args.touch
            or args.touch_do
            or args.touch_script
            or args.touch_plain
            or args.touch_read_delay
        )

    def setup(self, board):
        args = board.args
        if args.touch_plain:
            if args.touch_do or args.touch_script or args.touch_read_delay:
                raise BoardError("--touch-plain has no model to run control lines or delay reads")
            self._lay_out_plain(board)
            return
        folder = os.path.abspath(os.path.dirname(board.state_path("touch", "init")))
        daemon = os.path.join(board.build_dir, "sim", "touchsim")
        if not os.path.exists(daemon):
            raise OSError(f"{daemon} is not built")
        lines = []
        if args.touch_script:
            with open(args.touch_script) as script:
                lines += script.read().splitlines()
        lines += args.touch_do
        init = os.path.join(folder, "init")
        with open(init, "w") as out:
            out.write("".join(line + "\n" for line in lines))
        socket_path = os.path.join(folder, "control.sock")
        if os.path.exists(socket_path):
            os.unlink(socket_path)

        board.start_fuse_daemon(
            [
                daemon,
                "--mount",
                MOUNT,
                "--state",
                folder,
                "--init",
                init,
                "--seed",
                str(args.touch_seed),
                "--read-delay-us",
                str(args.touch_read_delay),
            ],
            ready=lambda: os.path.exists(socket_path),
            stdout=subprocess.DEVNULL,
        )

    @staticmethod
    def _lay_out_plain(board):
        board.mount_tmpfs(MOUNT)
        for group, attributes in PLAIN_TREE.items():
            folder = os.path.join(MOUNT, DEVICE, group)
            os.makedirs(folder)
            for name, text in attributes.items():
                with open(os.path.join(folder, name), "w") as f:
                    f.write(text + "\n")

    def teardown(self, board):
        # The daemon unmounts the tree when the board stops it.
        pass
