"""pxwine: the uninstaller under Wine, for the end-to-end tests, the demo and the benchmark alike.

Put tools/ on sys.path (or PYTHONPATH) and import the modules:

    pxwine.session        start(state_dir, holder) / stop(state_dir): Xvfb, a 32-bit prefix, the desktop
                          holder; Session(state_dir) in any later process: .prefix, .environment,
                          .journals, .shots, .run_logged(); `python3 -m pxwine.session start|stop`
    pxwine.driver         DriverRun(session, driver, name, program, answers, line): the UI driver's run,
                          its journal (.events, .prompts(), .troubles(), .exit_code()) and screenshots
    pxwine.paths          unix_path / disk_path / windows_path: Windows and Unix paths of the prefix;
                          programs_folder, common_programs_folder, temp_folders
    pxwine.installation   Stage (a folder of a test's own), stage_installation (Plexitone as installed),
                          snapshot / compare / without (files, the whole registry, INI lines, start menus),
                          reset_system
    pxwine.registry       the registry through regedit: export_registry, RegFile, Value (sz, dword, ...)
    pxwine.uninstall_log  "_pxunins.dat": LogBuilder, sound_log, read_entries
    pxwine.texts          the uninstaller's prompts as the journal writes them; NT_LINE, CONSUMER_LINE
    pxwine.scenario       main(table, run, options): the list/run command line of a scenario table

The C side (tools/pxwine/c) is the desktop holder and the window finding that the driver and the
benchmark's clock share.
"""
