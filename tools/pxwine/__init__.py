"""pxwine: the uninstaller under Wine, for the end-to-end tests, the demo and the benchmark alike.

Put tools/ on sys.path (or PYTHONPATH) and import the modules:

    pxwine.session        start(state_dir, holder, arch="win32") / stop(state_dir): Xvfb, a 32- or 64-bit
                          prefix, the desktop holder; Session(state_dir) in any later process: .prefix,
                          .arch, .environment, .journals, .shots, .run_logged(), .restart() (wineboot -r);
                          `python3 -m pxwine.session start|stop`
    pxwine.lanes          NT32, CONSUMER, NT64: the Windows a row runs on (version, kind of prefix, where
                          a 32-bit program's system folder and HKLM keys lie)
    pxwine.driver         DriverRun(session, driver, name, program, answers, lane): the UI driver's run,
                          its journal (.events of Events with named fields, .prompts(), .troubles(),
                          .exit_code()) and screenshots
    pxwine.paths          unix_path / disk_path / windows_path: Windows and Unix paths of the prefix;
                          programs_folder, common_programs_folder, temp_folders
    pxwine.pool           the prefixes of one kind that rows share out, one row a slot at a time:
                          `python3 -m pxwine.pool start|stop`, acquire() / release()
    pxwine.product        the one description of an installation per lane: what the installer makes and
                          what other programs keep beside it; compared_keys(lane)
    pxwine.installation   Stage (a folder of a test's own), stage_installation (Plexitone as installed),
                          stage_neighbours, reset_system
    pxwine.snapshot       snapshot / compare / without (files, the registry whole or some keys, INI lines,
                          start menus)
    pxwine.ini_files      system.ini and wininit.ini: read, write, one section replaced
    pxwine.shell_link     shortcut (.lnk) files: written field by field, their targets read back
    pxwine.registry       the registry through regedit: export_registry, RegFile, Value (sz, dword, ...)
    pxwine.uninstall_log  "_pxunins.dat": LogBuilder, sound_log, read_entries
    pxwine.texts          the uninstaller's prompts as the journal writes them
    pxwine.scenario       Row(name, lane, fields, ...): the one row shape of the tables; main(table, run,
                          options): their list/run command line

The C side (tools/pxwine/c) is the desktop holder and the window finding that the driver and the
benchmark's clock share.
"""
