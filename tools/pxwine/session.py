"""Starts and stops what a Wine run lives in: one X server without a screen and one Wine prefix, 32- or
64-bit, whose desktop a holder program keeps up.

    python3 -m pxwine.session start STATE_DIR HOLDER.EXE [win32|win64]
                                                         -> Xvfb on a free display, a fresh prefix of that
                                                            kind (win32 unless told) in STATE_DIR/prefix,
                                                            the desktop held, STATE_DIR/env
    python3 -m pxwine.session stop STATE_DIR             -> the holder, the prefix's wineserver and that
                                                            Xvfb end; the prefix stays for a look

start() and stop() do the same from Python; Session(STATE_DIR) reads STATE_DIR/env (KEY=VALUE lines) in
any later process. The holder is any program of ours with `--desktop hold|probe` (pxdriver, bench_clock).
A win64 prefix runs our 32-bit programs under WoW64, as 64-bit Windows does (Debian's wine64 beside
wine32).
"""

import os
import shutil
import signal
import subprocess
import sys
import time

SCREEN = "1024x768x24"
ARCHES = ("win32", "win64")

# Wine asks to download Mono and Gecko on a first boot unless the two are switched off.
DLL_OVERRIDES = "mscoree,mshtml="

# Without a window manager on the X server Wine must draw the caption and frame itself, or the
# screenshots lose them; unmanaged windows also stay exactly where the program puts them. A crashing
# program ends instead of waiting behind winedbg's dialog. The Windows version a program sees is set per
# run by the driver (AppDefaults under the program's file name).
PREFIX_SETTINGS = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Decorated"="N"
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000
"""


def log(message):
    print("[pxwine] " + message, flush=True)


def env_path(state_dir):
    return os.path.join(state_dir, "env")


def load_env(state_dir):
    values = {}
    with open(env_path(state_dir), encoding="utf-8") as stream:
        for line in stream:
            line = line.rstrip("\n")
            if "=" in line:
                key, value = line.split("=", 1)
                values[key] = value
    return values


def write_env(state_dir, values):
    with open(env_path(state_dir), "w", encoding="utf-8") as stream:
        for key, value in values.items():
            stream.write("%s=%s\n" % (key, value))


def wine_environment(values, display=None):
    """The process environment for any wine command of this run; display replaces the screenless one."""
    environment = dict(os.environ)
    for key in ("DISPLAY", "WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES"):
        environment[key] = values[key]
    if display is not None:
        environment["DISPLAY"] = display
    else:
        # A leftover XAUTHORITY of a desktop session would point the X client at the wrong cookie file.
        environment.pop("XAUTHORITY", None)
    return environment


def run_logged(command, environment, log_file, timeout):
    """Runs a wine tool with its output in a file: a wineserver it spawns inherits these handles, and one
    that held the caller's own pipes would keep CTest waiting after the test ends."""
    with open(log_file, "ab") as output:
        return subprocess.run(command, env=environment, stdin=subprocess.DEVNULL, stdout=output,
                              stderr=subprocess.STDOUT, timeout=timeout, check=False).returncode


class Session:
    """A started prefix seen from any process: its env values, the Wine environment and the folders where
    runs leave their journals and screenshots."""

    def __init__(self, state_dir):
        self.state_dir = os.path.abspath(state_dir)
        self.values = load_env(self.state_dir)
        self.prefix = self.values["WINEPREFIX"]
        self.environment = wine_environment(self.values)
        self.arch = self.values["WINEARCH"]
        self.wine_log = os.path.join(self.state_dir, "wine.log")
        # A slot of a pool (pxwine.pool) leaves them where the pool keeps those of every slot.
        self.journals = self.values.get("JOURNALS", os.path.join(self.state_dir, "journals"))
        self.shots = self.values.get("SHOTS", os.path.join(self.state_dir, "shots"))
        os.makedirs(self.journals, exist_ok=True)
        os.makedirs(self.shots, exist_ok=True)

    def run_logged(self, command, timeout):
        return run_logged(command, self.environment, self.wine_log, timeout)

    def restart(self):
        """Windows' restart as Wine plays it: `wineboot -r` works through the pending deletions
        (PendingFileRenameOperations, "wininit.ini"); on a 64-bit prefix it is a 64-bit process, which sees
        no file redirection. Returns the seconds it took."""
        started = time.time()
        if self.run_logged(["wineboot", "-r"], 120) != 0:
            raise RuntimeError("wineboot -r failed; see " + self.wine_log)
        return time.time() - started

    def keep_desktop_held(self, holder):
        """A restart of the prefix may end the session's processes: a lost desktop holder is started
        again, so the next run does not pay Wine's desktop delay. Returns what it found."""
        pid = self.values.get("HOLDER_PID", "")
        if pid.isdigit() and process_alive(int(pid), self.values.get("HOLDER_NAME", "pxdriver")):
            return "the desktop holder survived"
        hold_desktop(self.state_dir, self.values, holder)
        return "the desktop holder was gone and was started again"


def process_alive(pid, name):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as stream:
            return name.encode() in stream.read()
    except OSError:
        return False


def stop_process(pid, name):
    """Ends one process of ours by its id, after checking that the id still names it."""
    if not process_alive(pid, name):
        return
    os.kill(pid, signal.SIGTERM)
    for _ in range(50):
        if not process_alive(pid, name):
            return
        time.sleep(0.1)
    os.kill(pid, signal.SIGKILL)


def start_xvfb(state_dir):
    """Xvfb picks a free display itself (-displayfd), so two runs on one machine never collide."""
    read_end, write_end = os.pipe()
    log_file = open(os.path.join(state_dir, "xvfb.log"), "wb")
    process = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN, "-nolisten", "tcp", "-noreset"],
        stdin=subprocess.DEVNULL, stdout=log_file, stderr=log_file, pass_fds=(write_end,),
        start_new_session=True)
    os.close(write_end)
    log_file.close()
    number = b""
    deadline = time.time() + 30
    while not number.endswith(b"\n") and time.time() < deadline:
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip().isdigit():
        process.kill()
        raise RuntimeError("Xvfb did not report a display; see xvfb.log")
    return ":" + number.strip().decode(), process.pid


def wait_for_display(display):
    environment = dict(os.environ, DISPLAY=display)
    environment.pop("XAUTHORITY", None)
    for _ in range(100):
        if subprocess.run(["xdpyinfo"], env=environment, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, check=False).returncode == 0:
            return
        time.sleep(0.1)
    raise RuntimeError("the X server on %s does not answer" % display)


def end_processes(state_dir, values):
    """The holder, the prefix's wineserver and the Xvfb named in values, each by its id."""
    environment = wine_environment(values)
    wine_log = os.path.join(state_dir, "wine.log")
    if values.get("HOLDER_PID", "").isdigit():
        stop_process(int(values["HOLDER_PID"]), values.get("HOLDER_NAME", "pxdriver"))
    if os.path.isdir(values.get("WINEPREFIX", "")):
        run_logged(["wineserver", "-k"], environment, wine_log, 60)
        run_logged(["wineserver", "-w"], environment, wine_log, 60)
    if values.get("XVFB_PID", "").isdigit():
        stop_process(int(values["XVFB_PID"]), "Xvfb")
    os.remove(env_path(state_dir))


def hold_desktop(state_dir, values, holder):
    """See UseDesktop in tools/pxwine/c: one holder for the run, then one probe that waits for the
    desktop."""
    environment = wine_environment(values)
    with open(os.path.join(state_dir, "holder.log"), "ab") as output:
        process = subprocess.Popen(["wine", holder, "--desktop", "hold"], env=environment,
                                   stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                                   start_new_session=True)
    values["HOLDER_PID"] = str(process.pid)
    values["HOLDER_NAME"] = os.path.splitext(os.path.basename(holder))[0]
    write_env(state_dir, values)
    started = time.time()
    probe = run_logged(["wine", holder, "--desktop", "probe"], environment,
                       os.path.join(state_dir, "wine.log"), 120)
    # Both end with 4 on a desktop that cannot make a window: one started while the X server could
    # not be reached has no display driver, and every run's first box would fail on it unseen.
    if probe != 0 or process.poll() is not None:
        raise RuntimeError("the desktop of %s cannot be held or cannot make a window (was the X server %s "
                           "unreachable when it started?); see wine.log and holder.log"
                           % (values["WINEPREFIX"], values["DISPLAY"]))
    log("desktop settled in %.1f s" % (time.time() - started))


def start(state_dir, holder, fresh=True, arch="win32", shared=None):
    """Xvfb, the prefix STATE_DIR/prefix of the kind arch (made anew when fresh, else kept when it was
    booted before) and the desktop held by `holder` (None: not held). A run that was killed left its
    processes behind: those end first. shared: more KEY=VALUE lines for the env file (JOURNALS, SHOTS)."""
    assert arch in ARCHES, arch
    state_dir = os.path.abspath(state_dir)
    os.makedirs(state_dir, exist_ok=True)
    if os.path.exists(env_path(state_dir)):
        end_processes(state_dir, load_env(state_dir))
    prefix = os.path.join(state_dir, "prefix")
    if fresh and os.path.exists(prefix):
        shutil.rmtree(prefix)
    shots = os.path.join(state_dir, "shots")
    if os.path.exists(shots):
        shutil.rmtree(shots)
    os.makedirs(shots)

    log("starting Xvfb")
    display, xvfb_pid = start_xvfb(state_dir)
    values = {
        "DISPLAY": display,
        "XVFB_PID": str(xvfb_pid),
        "WINEPREFIX": prefix,
        "WINEARCH": arch,
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": DLL_OVERRIDES,
    }
    values.update(shared or {})
    # Written first, so that the cleanup finds the Xvfb even when the prefix cannot be made.
    write_env(state_dir, values)
    wait_for_display(display)
    log("Xvfb %s on display %s" % (xvfb_pid, display))

    environment = wine_environment(values)
    wine_log = os.path.join(state_dir, "wine.log")
    os.makedirs(prefix, exist_ok=True)
    # A persistent wineserver spares every run the server's start-up; the cleanup ends it.
    if run_logged(["wineserver", "-p"], environment, wine_log, 60) != 0:
        raise RuntimeError("wineserver did not start; see " + wine_log)
    started = time.time()
    if not os.path.exists(os.path.join(prefix, "system.reg")):
        log("creating the %s Wine prefix %s (takes up to a minute)" % (arch, prefix))
        if run_logged(["wineboot", "-i"], environment, wine_log, 600) != 0:
            raise RuntimeError("wineboot failed; see " + wine_log)
        log("prefix booted in %.1f s" % (time.time() - started))
    settings = os.path.join(state_dir, "settings.reg")
    with open(settings, "w", encoding="ascii", newline="\r\n") as stream:
        stream.write(PREFIX_SETTINGS)
    if run_logged(["wine", "regedit", "/S", settings], environment, wine_log, 120) != 0:
        raise RuntimeError("regedit failed; see " + wine_log)
    log("prefix ready in %.1f s" % (time.time() - started))
    if holder is not None:
        hold_desktop(state_dir, values, holder)


def stop(state_dir):
    state_dir = os.path.abspath(state_dir)
    if not os.path.exists(env_path(state_dir)):
        log("nothing to stop")
        return
    values = load_env(state_dir)
    end_processes(state_dir, values)
    log("stopped Xvfb %s and the prefix's wineserver" % values["XVFB_PID"])


def main(argv):
    if not (len(argv) in (4, 5) and argv[1] == "start" and argv[4:] in ([], ["win32"], ["win64"])
            or len(argv) == 3 and argv[1] == "stop"):
        print("usage: python3 -m pxwine.session start STATE_DIR HOLDER.EXE [win32|win64] | stop STATE_DIR",
              file=sys.stderr)
        return 2
    try:
        if argv[1] == "start":
            start(argv[2], os.path.abspath(argv[3]), arch=(argv[4:] or ["win32"])[0])
        else:
            stop(argv[2])
    except (RuntimeError, OSError, subprocess.TimeoutExpired) as error:
        log("failed: %s" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
