"""The names the uninstaller finds the installation by and the log format's constants. Written by
tools/fixed_names.py from src/foundation/fixed_names.h: change them there.
"""

LOG_FILE_NAME = '_pxunins.dat'
UNINSTALLER_FILE_NAME = 'pxunins.exe'
UNINSTALL_LOG_MAGIC = 0x5749AAE0
LOG_HEADER_SIZE = 12
LOG_COUNT_OFFSET = 8
LOG_ENTRY_HEAD_SIZE = 8
ENTRY_KIND_FILE = 0
ENTRY_KIND_DIRECTORY = 1
LONGEST_LOGGED_PATH = 259
VERSION_MAJOR = 2
VERSION_MINOR = 1
VERSION_PATCH = 0
VERSION_BUILD = 0
VERSION_TEXT = '2.1.0.0'
MAKER_NAME = 'Morvaine'
LEGAL_COPYRIGHT = 'Copyright (C) Morvaine'
HOME_PAGE_URL = 'http://plexitone.example/'
GROUP_NAME = 'Plexitone'
APP_SHORTCUT = 'Plexitone.lnk'
HELP_SHORTCUT = 'Plexitone Help.lnk'
LICENSE_SHORTCUT = 'Plexitone License.lnk'
HOME_PAGE_SHORTCUT = 'Plexitone Home Page.lnk'
UNINSTALL_SHORTCUT = 'Uninstall Plexitone.lnk'
APP_FILE_NAME = 'px.exe'
APP_PATH_KEY = 'Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\px.exe'
UNINSTALL_KEY = 'Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plexitone'
MAKER_KEY = 'SOFTWARE\\Morvaine'
PRODUCT_KEY = 'SOFTWARE\\Morvaine\\Plexitone'
AUDIO_SETTINGS_KEY = 'SOFTWARE\\Morvaine\\Plexitone\\Audio'
MIDI_SETTINGS_KEY = 'SOFTWARE\\Morvaine\\Plexitone\\MIDI'
RECENT_FILES_KEY = 'SOFTWARE\\Morvaine\\Plexitone\\Recent Files'
OFFLINE_RENDERING_KEY = 'SOFTWARE\\Morvaine\\Plexitone\\Offline Rendering'
PIPE_DRIVER_VALUE = 'PlexitonePipe'
PIPE_DRIVER_FILE_NAME = 'pxpipe.drv'
SHARED_DLLS_KEY = 'Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs'
DRIVERS32_KEY = 'SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32'
DRIVERS_DESC_KEY = 'SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc'
DRIVER_LIST_NAME = 'midi'
DRIVER_LIST_NAMES = 100
SYSTEM_INI_FILE = 'system.ini'
SYSTEM_INI_DRIVERS = 'drivers'
SYSTEM_INI_DRIVER_KEY = 'MIDIPlexitone'
