"""The touch controller: its driver's attribute tree, served by touchsim.

The controller's sysfs folders (common_config, etc_config, chx_config under
ocp/42010000.padprobe/) are a FUSE file system mounted over
/sys/devices/platform, because plain files cannot behave like sysfs
attributes (a value replaced whole by a shorter write, chx_ files that show
the channel last written to ch_num). The state folder's touch/ subfolder
holds writes.log (every write the command made) and control.sock (control
lines while the command runs). See docs/board/touch.md.
"""
import os
import subprocess

MOUNT = "/sys/devices/platform"


class Part:
    title = "touch controller"

    def add_arguments(self, group):
        group.add_argument("--touch", action="store_true",
                           help="simulate the touch controller's attribute files")
        group.add_argument("--touch-do", action="append", default=[], metavar="LINE",
                           help="a control line run before the command starts "
                                "(repeatable; implies --touch)")
        group.add_argument("--touch-script", metavar="FILE",
                           help="a file of control lines run before the command starts "
                                "(implies --touch)")
        group.add_argument("--touch-seed", type=int, default=1, metavar="N",
                           help="seed of the measurement noise (default 1)")

    def enabled(self, args):
        return bool(args.touch or args.touch_do or args.touch_script)

    def setup(self, board):
        args = board.args
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
            [daemon, "--mount", MOUNT, "--state", folder, "--init", init,
             "--seed", str(args.touch_seed)],
            ready=lambda: os.path.exists(socket_path),
            stdout=subprocess.DEVNULL)

    def teardown(self, board):
        # The daemon unmounts the tree when the board stops it.
        pass
