"""Snapshots of the whole system a run may change, and their differences.

    snapshot(prefix, environment, scratch_dir, install_dir)   -> {item: state}
    compare(expected, actual)                                 -> the differences, one readable line each
    without(items, key_trees, values, paths)                  -> a snapshot minus what a run removes
"""

import hashlib
import os

from pxwine import fixed_names as names
from pxwine.ini_files import read_ini
from pxwine.paths import common_programs_folder, programs_folder, unix_path
from pxwine.product import DEFAULT_INSTALL_DIR, SESSION_MANAGER_KEY, SYSTEM_DIR, WINDOWS_DIR, WOW64_SYSTEM_DIR
from pxwine.registry import export_keys, export_registry, normal_key


# Registry trees a run may touch or must leave alone. HKCU\Software\Wine is left out: the driver writes the
# program's Windows version there before every run. So is NetworkCards: Wine lists the host's network
# adapters there when a fresh prefix first asks for them, whichever program asks, at any moment of a test.
SNAPSHOT_TREES = ("HKLM\\Software", "HKCU\\Software", SESSION_MANAGER_KEY)
SNAPSHOT_EXCLUDED = ("HKCU\\Software\\Wine", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
                     "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards")


def in_tree(path, tree):
    return path == tree or path.startswith(tree + "\\")


def file_items(prefix, items, tag, root_unix, root_windows, hash_content=True):
    if not os.path.isdir(root_unix):
        return
    for folder, folders, files in os.walk(root_unix):
        relative = os.path.relpath(folder, root_unix)
        base = root_windows if relative == "." else root_windows + "\\" + relative.replace(os.sep, "\\")
        items[("folder", base.lower())] = tag
        for name in files:
            path = os.path.join(folder, name)
            if hash_content:
                with open(path, "rb") as stream:
                    state = hashlib.sha1(stream.read()).hexdigest()[:16]
            else:
                state = "%d bytes" % os.path.getsize(path)
            items[("file", (base + "\\" + name).lower())] = state


def snapshot(prefix, environment, scratch_dir=None, install_dir=DEFAULT_INSTALL_DIR, keys=None):
    """Every registry key and value under SNAPSHOT_TREES (both views in a 64-bit prefix: Wow6432Node is a
    key below HKLM\\Software there), every file of the installation folder, of both start menus' Programs
    folders and of the system folders (system32, and syswow64 where there is one), and every line of
    "system.ini" and
    "wininit.ini", as one flat dict:
        ("key", path) -> None, ("value", path, name) -> Value, ("file", path) -> content digest or size,
        ("folder", path) -> tag, ("ini", file, section) -> tuple of lines.
    Paths and names are in lower case. keys: only these registry keys (pxwine.product.compared_keys), with
    everything below them, instead of every key of the trees."""
    items = {}
    registry = (export_registry(environment, scratch_dir or prefix) if keys is None
                else export_keys(environment, scratch_dir or prefix, keys))
    trees = [normal_key(tree) for tree in SNAPSHOT_TREES]
    excluded = [normal_key(tree) for tree in SNAPSHOT_EXCLUDED]
    for path, values in registry.items():
        if not any(in_tree(path, tree) for tree in trees) or any(in_tree(path, tree) for tree in excluded):
            continue
        items[("key", path)] = None
        for name, value in values.items():
            items[("value", path, name)] = value

    file_items(prefix, items, "install", unix_path(prefix, install_dir), install_dir)
    file_items(prefix, items, "start menu", programs_folder(prefix), "<programs>")
    file_items(prefix, items, "common start menu", common_programs_folder(prefix), "<common programs>")
    # The system folder is large: names and sizes tell enough there.
    file_items(prefix, items, "system", unix_path(prefix, SYSTEM_DIR), SYSTEM_DIR, hash_content=False)
    file_items(prefix, items, "system", unix_path(prefix, WOW64_SYSTEM_DIR), WOW64_SYSTEM_DIR,
               hash_content=False)
    for name in (names.SYSTEM_INI_FILE, "win.ini", "wininit.ini", "wininit.bak"):
        for section, lines in read_ini(unix_path(prefix, WINDOWS_DIR + "\\" + name)):
            items[("ini", name, section.lower())] = tuple(lines)
    return items


def describe(item):
    return " ".join(str(part) for part in item)


def compare(expected, actual):
    """The differences between two snapshots, one readable line each; empty when they are equal."""
    lines = []
    for item in sorted(set(expected) | set(actual), key=lambda key: tuple(str(part) for part in key)):
        if item not in actual:
            lines.append("gone, should be there: %s = %r" % (describe(item), expected[item]))
        elif item not in expected:
            lines.append("there, should be gone: %s = %r" % (describe(item), actual[item]))
        elif expected[item] != actual[item]:
            lines.append("changed: %s: expected %r, found %r" % (describe(item), expected[item], actual[item]))
    return lines


def without(items, key_trees=(), values=(), paths=()):
    """A copy of a snapshot without the keys below key_trees (with the trees themselves), the values
    (key, name) and the files and folders at or below paths."""
    trees = [normal_key(tree) for tree in key_trees]
    value_set = {(normal_key(key), name.lower()) for key, name in values}
    path_list = [path.lower() for path in paths]
    kept = {}
    for item, state in items.items():
        if item[0] in ("key", "value") and any(in_tree(item[1], tree) for tree in trees):
            continue
        if item[0] == "value" and (item[1], item[2]) in value_set:
            continue
        if item[0] in ("file", "folder") and any(in_tree(item[1], path) for path in path_list):
            continue
        kept[item] = state
    return kept
