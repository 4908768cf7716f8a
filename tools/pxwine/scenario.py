"""The one command line of every table of Wine scenarios.

    main(table, run, options=())

table: rows, each with a unique .name. run(row, harness) stages, runs and checks one row and returns its
failures (empty: passed); harness has .session (a started pxwine Session), .exe (pxunins.exe), .driver
(pxdriver.exe) and one attribute for each extra option ("cc" for --cc). The command line it reads:

    TABLE.py list                                                   -> the rows' names, one a line
    TABLE.py run NAME --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE [--OPTION VALUE ...]
"""

import argparse
import os
import sys

from pxwine.session import Session, env_path


def main(table, run, options=(), argv=None):
    argv = sys.argv if argv is None else argv
    module = sys.modules["__main__"]
    parser = argparse.ArgumentParser(prog=os.path.basename(argv[0]), description=module.__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=("list", "run"))
    parser.add_argument("name", nargs="?")
    required = ("state", "exe", "driver") + tuple(options)
    for option in required:
        parser.add_argument("--" + option)
    arguments = parser.parse_args(argv[1:])
    names = [row.name for row in table]
    assert len(set(names)) == len(names), "scenario names must be unique"
    if arguments.action == "list":
        print("\n".join(names))
        return 0
    by_name = {row.name: row for row in table}
    if arguments.name not in by_name or not all(getattr(arguments, option) for option in required):
        parser.error("run needs a scenario name (see list) and --%s" % ", --".join(required))
    if not os.path.exists(env_path(arguments.state)):
        print("no %s: the e2e_setup test starts Xvfb and the prefix first" % env_path(arguments.state))
        return 1
    for option in required:
        value = getattr(arguments, option)
        if os.path.exists(value):
            setattr(arguments, option, os.path.abspath(value))
    arguments.session = Session(arguments.state)
    failures = run(by_name[arguments.name], arguments)
    if failures:
        print("FAILED %s" % arguments.name)
        for failure in failures:
            print(" - " + failure)
        return 1
    print("passed %s" % arguments.name)
    return 0
