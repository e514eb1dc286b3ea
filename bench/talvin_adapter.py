# Talvin as a client of the shared IRC client benchmark (../shared/bench/run_peers.py):
#
#   python3 run_peers.py --adapters /path/to/talvin/bench/talvin_adapter.py \
#       --clients talvin,irssi,weechat-headless
#
# For each run the adapter makes a program directory in the run's throwaway folder (a copy of
# dist/ with the server, the port and the nick of the run, start mode "connect") and starts
# the built program offscreen with that folder as its program directory (--home). It joins
# its own #talvin after the message of the day as always; the server then forces the
# scenario's channel (#bench, #names) on it, and the program opens and raises that window as
# for any join the server reports. LIST replies arrive unasked.
#
# The program is the one in $TALVIN_BUILD (default: build/ beside this folder), built with
# the tree's default RelWithDebInfo configuration. Only its own process is measured (the
# shell writes its pid to the pid file before exec). Speech runs as configured; without a
# sound device the voices stay silent.
import inspect
import os
import re
import shutil
from pathlib import Path

# run_peers.py runs this file with exec(), without __file__; the code object knows its path.
TALVIN_ROOT = Path(inspect.currentframe().f_code.co_filename).resolve().parent.parent


def talvin_binary():
    build = Path(os.environ.get("TALVIN_BUILD", TALVIN_ROOT / "build"))
    return build / "talvin"


def set_ini_value(path, key, value):
    """Sets key=value in an ini file of the program directory (the first occurrence)."""
    text = path.read_text(encoding="utf-8")
    text, found = re.subn(rf"(?m)^{re.escape(key)}=.*$", f"{key}={value}", text, count=1)
    if not found:
        raise RuntimeError(f"{path.name} has no {key}")
    path.write_text(text, encoding="utf-8")


def prepare_program_dir(ctx):
    shutil.copytree(TALVIN_ROOT / "dist", ctx.workdir, dirs_exist_ok=True)
    (ctx.workdir / "log").mkdir(exist_ok=True)
    config = ctx.workdir / "config"
    set_ini_value(config / "connect.ini", "Server", ctx.host)
    set_ini_value(config / "connect.ini", "Port", str(ctx.port))
    set_ini_value(config / "user.ini", "Nick", ctx.nick)
    set_ini_value(config / "caption.ini", "smode", "connect")


@adapter("talvin", version_cmd=[str(talvin_binary()), "--version"])
def talvin(ctx):
    binary = talvin_binary()
    if not binary.exists():
        raise RuntimeError(f"{binary} is not built (cmake --build build --target talvin)")
    prepare_program_dir(ctx)
    return spawn(f'echo $$ > "$IRC_BENCH_PID_FILE"; QT_QPA_PLATFORM=offscreen exec "{binary}" '
                 f'--home "{ctx.workdir}"', ctx, shell=True)
