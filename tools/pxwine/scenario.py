"""The one row shape and the one command line of every table of Wine scenarios.

    Row(name, lane, fields, **values)   a row: its name, its lane (pxwine.lanes) and the table's own fields
    main(table, run, options=())

table: Rows with unique names. run(row, harness) stages, runs and checks one row and returns its failures
(empty: passed); harness has .session (a started pxwine Session of the row's kind of prefix: a slot of
the pool --state names, held for this row alone, or the one session --state names), .exe
(pxunins.exe), .driver (pxdriver.exe) and one attribute for each extra option ("cc" for --cc). The command
line it reads:

    TABLE.py list [--arch win32|win64] [--with FIELD]               -> the rows' names, one a line: all,
                                                                       or those whose lane needs that prefix,
                                                                       or whose FIELD is set (a row that
                                                                       needs another fixture)
    TABLE.py run NAME --state DIR --exe PXUNINS.EXE --driver PXDRIVER.EXE [--OPTION VALUE ...]
"""

import argparse
import os
import sys

from pxwine import pool
from pxwine.session import ARCHES, Session, env_path


class Row:
    """fields: the table's own fields with their defaults; values sets some of them. A name that is not
    one of the table's fields is refused, so a misspelt field cannot pass as a default."""

    def __init__(self, name, lane, fields, **values):
        unknown = sorted(set(values) - set(fields))
        if unknown:
            raise TypeError("row %s: no field %s" % (name, ", ".join(unknown)))
        self.name = name
        self.lane = lane
        for field, default in fields.items():
            setattr(self, field, values.get(field, default))

    def __repr__(self):
        return "%s (%s)" % (self.name, self.lane.name)


def main(table, run, options=(), argv=None):
    argv = sys.argv if argv is None else argv
    module = sys.modules["__main__"]
    parser = argparse.ArgumentParser(prog=os.path.basename(argv[0]), description=module.__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=("list", "run"))
    parser.add_argument("name", nargs="?")
    parser.add_argument("--arch", choices=ARCHES)
    parser.add_argument("--with", dest="with_field")
    required = ("state", "exe", "driver") + tuple(options)
    for option in required:
        parser.add_argument("--" + option)
    arguments = parser.parse_args(argv[1:])
    names = [row.name for row in table]
    assert len(set(names)) == len(names), "scenario names must be unique"
    if arguments.action == "list":
        print("\n".join(row.name for row in table if arguments.arch in (None, row.lane.arch)
                        and (arguments.with_field is None or getattr(row, arguments.with_field, None))))
        return 0
    by_name = {row.name: row for row in table}
    if arguments.name not in by_name or not all(getattr(arguments, option) for option in required):
        parser.error("run needs a scenario name (see list) and --%s" % ", --".join(required))
    if not os.path.exists(env_path(arguments.state)) and not pool.is_pool(arguments.state):
        print("no %s: the e2e_setup test (e2e64_setup for a 64-bit prefix) boots the prefixes first"
              % arguments.state)
        return 1
    for option in required:
        value = getattr(arguments, option)
        if os.path.exists(value):
            setattr(arguments, option, os.path.abspath(value))
    row = by_name[arguments.name]
    in_pool = pool.is_pool(arguments.state)
    if in_pool and pool.pool_values(arguments.state)[1] != row.lane.arch or \
            not in_pool and Session(arguments.state).arch != row.lane.arch:
        print("%s runs on the %s lane, which needs a %s prefix; %s is not one"
              % (row.name, row.lane.name, row.lane.arch, arguments.state))
        return 1
    arguments.session = (pool.acquire(arguments.state, arguments.driver) if in_pool
                         else Session(arguments.state))
    failures = None
    try:
        failures = run(row, arguments)
    finally:
        # A row that raised, failed or was killed leaves its slot to be copied afresh.
        if in_pool:
            pool.release(arguments.session, clean=failures == [])
    if failures:
        print("FAILED %s" % arguments.name)
        for failure in failures:
            print(" - " + failure)
        return 1
    print("passed %s" % arguments.name)
    return 0
