"""A pool of Wine prefixes of one kind, so that the rows of the tables run side by side, each alone in a
prefix of its own with its own X server, wineserver and desktop.

    python3 -m pxwine.pool start STATE [win32|win64]   -> one pristine prefix of that kind booted in
                                                          STATE/pristine, then left alone
    python3 -m pxwine.pool stop STATE                  -> every slot's holder, wineserver and Xvfb end
    acquire(STATE, HOLDER.EXE) -> Session               a free slot, held until this process ends
    release(session, clean)

STATE/slot-N is a copy of the pristine prefix with a session of its own (pxwine.session), started by the
first row that takes the slot. A row holds STATE/slot-N/lock (flock) from acquire() to the end of its
process, however it ends, so no two rows ever share a prefix. A row that did not end cleanly (it failed,
or it was killed) leaves STATE/slot-N/dirty behind: the next row to take that slot gets the prefix copied
afresh from the pristine one first. Every row starts in a prefix as the rows before it left it once they
passed: without an installation, as each table's rows leave it.

The pool holds PX_E2E_POOL slots (4 unless told): as many as rows may run at once (ctest -j) for a row
never to wait. Journals and screenshots go to STATE/journals and STATE/shots, whichever slot ran the row.
"""

import fcntl
import os
import shutil
import subprocess
import sys
import time

from pxwine import session as sessions

DEFAULT_SIZE = 4
POOL_FILE = "pool"
WAIT_SECONDS = 0.5


def log(message):
    print("[pxwine.pool] " + message, flush=True)


def is_pool(state_dir):
    return os.path.exists(os.path.join(state_dir, POOL_FILE))


def pool_values(state_dir):
    with open(os.path.join(state_dir, POOL_FILE), encoding="utf-8") as stream:
        size, arch = stream.read().split()
    return int(size), arch


def slot_dir(state_dir, number):
    return os.path.join(state_dir, "slot-%d" % number)


def copy_prefix(source, target):
    """A real copy: Wine rewrites some files in place (the INI files, the hives), which a hard link would
    share with the pristine prefix."""
    if os.path.exists(target):
        shutil.rmtree(target)
    subprocess.run(["cp", "-a", "--reflink=auto", source, target], check=True)


def unmount_below(state_dir):
    """A row killed while it had a small file system mounted in its slot (the full-disk round trip) left
    the mount behind; the slot's folder cannot go before it does."""
    with open("/proc/mounts", encoding="utf-8") as stream:
        points = [line.split()[1] for line in stream]
    for point in sorted((p for p in points if p.startswith(state_dir + os.sep)), reverse=True):
        subprocess.run(["umount", point], check=False)


def start(state_dir, arch="win32", size=None):
    """Boots the pristine prefix and forgets every slot of an earlier run (ending what it left running)."""
    state_dir = os.path.abspath(state_dir)
    size = size or int(os.environ.get("PX_E2E_POOL", DEFAULT_SIZE))
    os.makedirs(state_dir, exist_ok=True)
    stop(state_dir, quiet=True)
    unmount_below(state_dir)
    for name in os.listdir(state_dir):
        if name.startswith("slot-"):
            shutil.rmtree(os.path.join(state_dir, name))
    for name in ("journals", "shots"):
        folder = os.path.join(state_dir, name)
        if os.path.exists(folder):
            shutil.rmtree(folder)
        os.makedirs(folder)
    pristine = os.path.join(state_dir, "pristine")
    started = time.time()
    sessions.start(pristine, None, arch=arch)
    # The hives are on the disk once the prefix's wineserver has ended.
    sessions.stop(pristine)
    with open(os.path.join(state_dir, POOL_FILE), "w", encoding="utf-8") as stream:
        stream.write("%d %s\n" % (size, arch))
    log("pristine %s prefix booted in %.1f s; %d slots" % (arch, time.time() - started, size))


def stop(state_dir, quiet=False):
    state_dir = os.path.abspath(state_dir)
    stopped = 0
    for name in sorted(os.listdir(state_dir)) if os.path.isdir(state_dir) else []:
        folder = os.path.join(state_dir, name)
        if (name.startswith("slot-") or name == "pristine") and os.path.exists(sessions.env_path(folder)):
            sessions.end_processes(folder, sessions.load_env(folder))
            stopped += 1
    if not quiet:
        log("stopped %d sessions" % stopped)


def try_lock(folder):
    os.makedirs(folder, exist_ok=True)
    stream = open(os.path.join(folder, "lock"), "a+b")
    try:
        fcntl.flock(stream.fileno(), fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        stream.close()
        return None
    return stream


def session_alive(folder):
    if not os.path.exists(sessions.env_path(folder)):
        return False
    values = sessions.load_env(folder)
    pid = values.get("XVFB_PID", "")
    return pid.isdigit() and sessions.process_alive(int(pid), "Xvfb")


def prepare(state_dir, folder, holder, arch):
    """The slot's session, started (or copied afresh from the pristine prefix after a row that did not end
    cleanly) when needed."""
    dirty = os.path.join(folder, "dirty")
    prefix = os.path.join(folder, "prefix")
    if os.path.exists(dirty) or not os.path.exists(prefix):
        if os.path.exists(sessions.env_path(folder)):
            sessions.end_processes(folder, sessions.load_env(folder))
        started = time.time()
        copy_prefix(os.path.join(state_dir, "pristine", "prefix"), prefix)
        log("%s: the prefix copied from the pristine one in %.1f s" % (os.path.basename(folder),
                                                                     time.time() - started))
    # Marked first: a session that fails to start (a desktop that cannot make a window) is started
    # afresh by the next row, not taken for a live one because its Xvfb runs.
    open(dirty, "w").close()
    if not session_alive(folder):
        sessions.start(folder, holder, fresh=False, arch=arch,
                       shared={"JOURNALS": os.path.join(state_dir, "journals"),
                               "SHOTS": os.path.join(state_dir, "shots")})


def acquire(state_dir, holder):
    """A slot no other row holds, its session ready; held until release() or the end of this process."""
    state_dir = os.path.abspath(state_dir)
    size, arch = pool_values(state_dir)
    waited = time.time()
    while True:
        for number in range(size):
            folder = slot_dir(state_dir, number)
            lock = try_lock(folder)
            if lock is None:
                continue
            if time.time() - waited > 1:
                log("waited %.0f s for a free slot" % (time.time() - waited))
            prepare(state_dir, folder, holder, arch)
            session = sessions.Session(folder)
            session.lock = lock
            log("%s of %s" % (os.path.basename(folder), state_dir))
            return session
        time.sleep(WAIT_SECONDS)


def release(session, clean):
    """clean: the row passed and left the prefix as it found it, so the next row may take it as it is."""
    if clean:
        os.remove(os.path.join(session.state_dir, "dirty"))
    session.lock.close()


def main(argv):
    if not (len(argv) in (3, 4) and argv[1] == "start" and argv[3:] in ([], ["win32"], ["win64"])
            or len(argv) == 3 and argv[1] == "stop"):
        print("usage: python3 -m pxwine.pool start STATE_DIR [win32|win64] | stop STATE_DIR", file=sys.stderr)
        return 2
    try:
        if argv[1] == "start":
            start(argv[2], arch=(argv[3:] or ["win32"])[0])
        else:
            stop(argv[2])
    except (RuntimeError, OSError, subprocess.SubprocessError) as error:
        log("failed: %s" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
