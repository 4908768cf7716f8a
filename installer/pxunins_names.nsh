; The names the uninstaller finds the installation by and the log format's constants. Written
; by tools/fixed_names.py from src/foundation/fixed_names.h: change them there.
!ifndef PXUNINS_NAMES_NSH
!define PXUNINS_NAMES_NSH
!define PX_LOG_FILE_NAME "_pxunins.dat"
!define PX_UNINSTALLER_FILE_NAME "pxunins.exe"
!define PX_UNINSTALL_LOG_MAGIC 0x5749AAE0
!define PX_LOG_HEADER_SIZE 12
!define PX_LOG_COUNT_OFFSET 8
!define PX_LOG_ENTRY_HEAD_SIZE 8
!define PX_ENTRY_KIND_FILE 0
!define PX_ENTRY_KIND_DIRECTORY 1
!define PX_LONGEST_LOGGED_PATH 259
!define PX_VERSION_MAJOR 2
!define PX_VERSION_MINOR 1
!define PX_VERSION_PATCH 0
!define PX_VERSION_BUILD 0
!define PX_VERSION_TEXT "2.1.0.0"
!define PX_MAKER_NAME "Morvaine"
!define PX_LEGAL_COPYRIGHT "Copyright (C) Morvaine"
!define PX_HOME_PAGE_URL "http://plexitone.example/"
!define PX_GROUP_NAME "Plexitone"
!define PX_APP_SHORTCUT "Plexitone.lnk"
!define PX_HELP_SHORTCUT "Plexitone Help.lnk"
!define PX_LICENSE_SHORTCUT "Plexitone License.lnk"
!define PX_HOME_PAGE_SHORTCUT "Plexitone Home Page.lnk"
!define PX_UNINSTALL_SHORTCUT "Uninstall Plexitone.lnk"
!define PX_APP_FILE_NAME "px.exe"
!define PX_APP_PATH_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths\px.exe"
!define PX_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Plexitone"
!define PX_MAKER_KEY "SOFTWARE\Morvaine"
!define PX_PRODUCT_KEY "SOFTWARE\Morvaine\Plexitone"
!define PX_AUDIO_SETTINGS_KEY "SOFTWARE\Morvaine\Plexitone\Audio"
!define PX_MIDI_SETTINGS_KEY "SOFTWARE\Morvaine\Plexitone\MIDI"
!define PX_RECENT_FILES_KEY "SOFTWARE\Morvaine\Plexitone\Recent Files"
!define PX_OFFLINE_RENDERING_KEY "SOFTWARE\Morvaine\Plexitone\Offline Rendering"
!define PX_PIPE_DRIVER_VALUE "PlexitonePipe"
!define PX_PIPE_DRIVER_FILE_NAME "pxpipe.drv"
!define PX_SHARED_DLLS_KEY "Software\Microsoft\Windows\CurrentVersion\SharedDLLs"
!define PX_DRIVERS32_KEY "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Drivers32"
!define PX_DRIVERS_DESC_KEY "SOFTWARE\Microsoft\Windows NT\CurrentVersion\drivers.desc"
!define PX_DRIVER_LIST_NAME "midi"
!define PX_DRIVER_LIST_NAMES 100
!define PX_SYSTEM_INI_FILE "system.ini"
!define PX_SYSTEM_INI_DRIVERS "drivers"
!define PX_SYSTEM_INI_DRIVER_KEY "MIDIPlexitone"
!endif
