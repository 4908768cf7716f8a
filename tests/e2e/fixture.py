#!/usr/bin/env python3
"""Starts and stops what the end-to-end tests run in: one X server without a screen and one Wine prefix.

    fixture.py start STATE_DIR PXDRIVER.EXE -> Xvfb on a free display, a fresh 32-bit prefix with its
                                               desktop held by the driver, STATE_DIR/env
    fixture.py stop STATE_DIR               -> the holder, the prefix's wineserver and that Xvfb end;
                                               the prefix stays for a look

The scenarios read STATE_DIR/env (KEY=VALUE lines) through load_env().
"""

import os
import shutil
import signal
import subprocess
import sys
import time

SCREEN = "1024x768x24"

# Wine asks to download Mono and Gecko on a first boot unless the two are switched off.
DLL_OVERRIDES = "mscoree,mshtml="

# Without a window manager on the X server Wine must draw the caption and frame itself, or the
# screenshots lose them; unmanaged windows also stay exactly where the program puts them.
PREFIX_SETTINGS = """REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Decorated"="N"
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\pxunins.exe]
"Version"="winxp"
"""


def log(message):
    print("[e2e fixture] " + message, flush=True)


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


def wine_environment(values):
    """The process environment for any wine command of this run."""
    environment = dict(os.environ)
    for key in ("DISPLAY", "WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES"):
        environment[key] = values[key]
    # A leftover XAUTHORITY of a desktop session would point the X client at the wrong cookie file.
    environment.pop("XAUTHORITY", None)
    return environment


def run_logged(command, environment, log_file, timeout):
    """Runs a wine tool with its output in a file: a wineserver it spawns inherits these handles, and one
    that held the test's own pipes would keep CTest waiting after the test ends."""
    with open(log_file, "ab") as output:
        return subprocess.run(command, env=environment, stdin=subprocess.DEVNULL, stdout=output,
                              stderr=subprocess.STDOUT, timeout=timeout, check=False).returncode


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


def stop_previous(state_dir):
    """A run that was killed leaves its Xvfb and wineserver behind; end exactly those."""
    if not os.path.exists(env_path(state_dir)):
        return
    values = load_env(state_dir)
    if os.path.isdir(values.get("WINEPREFIX", "")):
        run_logged(["wineserver", "-k"], wine_environment(values), os.path.join(state_dir, "wine.log"), 60)
    if values.get("HOLDER_PID", "").isdigit():
        stop_process(int(values["HOLDER_PID"]), "pxdriver")
    if values.get("XVFB_PID", "").isdigit():
        stop_process(int(values["XVFB_PID"]), "Xvfb")
    os.remove(env_path(state_dir))


def write_env(state_dir, values):
    with open(env_path(state_dir), "w", encoding="utf-8") as stream:
        for key, value in values.items():
            stream.write("%s=%s\n" % (key, value))


def hold_desktop(state_dir, values, driver):
    """See UseDesktop in the driver: one holder for the run, then one probe that waits for the desktop."""
    environment = wine_environment(values)
    with open(os.path.join(state_dir, "holder.log"), "ab") as output:
        holder = subprocess.Popen(["wine", driver, "--desktop", "hold"], env=environment,
                                  stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                                  start_new_session=True)
    values["HOLDER_PID"] = str(holder.pid)
    write_env(state_dir, values)
    started = time.time()
    if run_logged(["wine", driver, "--desktop", "probe"], environment,
                  os.path.join(state_dir, "wine.log"), 120) != 0:
        raise RuntimeError("the driver cannot reach the desktop; see wine.log")
    log("desktop settled in %.0f s" % (time.time() - started))


def start(state_dir, driver):
    os.makedirs(state_dir, exist_ok=True)
    stop_previous(state_dir)
    prefix = os.path.join(state_dir, "prefix")
    if os.path.exists(prefix):
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
        "WINEARCH": "win32",
        "WINEDEBUG": "-all",
        "WINEDLLOVERRIDES": DLL_OVERRIDES,
    }
    # Written first, so that the cleanup finds the Xvfb even when the prefix cannot be made.
    write_env(state_dir, values)
    wait_for_display(display)
    log("Xvfb %s on display %s" % (xvfb_pid, display))

    environment = wine_environment(values)
    wine_log = os.path.join(state_dir, "wine.log")
    os.makedirs(prefix)
    # A persistent wineserver spares every scenario the server's start-up; the cleanup ends it.
    if run_logged(["wineserver", "-p"], environment, wine_log, 60) != 0:
        raise RuntimeError("wineserver did not start; see " + wine_log)
    log("creating the Wine prefix %s (takes up to a minute)" % prefix)
    started = time.time()
    if run_logged(["wineboot", "-i"], environment, wine_log, 600) != 0:
        raise RuntimeError("wineboot failed; see " + wine_log)
    settings = os.path.join(state_dir, "settings.reg")
    with open(settings, "w", encoding="ascii", newline="\r\n") as stream:
        stream.write(PREFIX_SETTINGS)
    if run_logged(["wine", "regedit", "/S", settings], environment, wine_log, 120) != 0:
        raise RuntimeError("regedit failed; see " + wine_log)
    log("prefix ready in %.0f s" % (time.time() - started))
    hold_desktop(state_dir, values, driver)


def stop(state_dir):
    if not os.path.exists(env_path(state_dir)):
        log("nothing to stop")
        return
    values = load_env(state_dir)
    environment = wine_environment(values)
    wine_log = os.path.join(state_dir, "wine.log")
    if values.get("HOLDER_PID", "").isdigit():
        stop_process(int(values["HOLDER_PID"]), "pxdriver")
    if os.path.isdir(values["WINEPREFIX"]):
        run_logged(["wineserver", "-k"], environment, wine_log, 60)
        run_logged(["wineserver", "-w"], environment, wine_log, 60)
    stop_process(int(values["XVFB_PID"]), "Xvfb")
    os.remove(env_path(state_dir))
    log("stopped Xvfb %s and the prefix's wineserver" % values["XVFB_PID"])


def main(argv):
    if not (len(argv) == 4 and argv[1] == "start" or len(argv) == 3 and argv[1] == "stop"):
        print("usage: fixture.py start STATE_DIR PXDRIVER.EXE | stop STATE_DIR", file=sys.stderr)
        return 2
    state_dir = os.path.abspath(argv[2])
    try:
        if argv[1] == "start":
            start(state_dir, os.path.abspath(argv[3]))
        else:
            stop(state_dir)
    except (RuntimeError, OSError, subprocess.TimeoutExpired) as error:
        log("failed: %s" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
