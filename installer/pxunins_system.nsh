; What the installation registers outside its folder, under the fixed names the uninstaller removes: the
; start-menu group, the application path, the user's settings, the entry in the list of installed
; programs, and the MIDI pipe driver. Included by pxunins.nsh; a macro that fails (a user without the
; right to write HKEY_LOCAL_MACHINE, for instance) reports it as pxunins.nsh says.

!verbose push 3
!ifndef PXUNINS_SYSTEM_NSH
!define PXUNINS_SYSTEM_NSH

!include "WinVer.nsh"

; The description the NT line's driver list shows for the pipe driver.
!define /ifndef PX_DRIVER_DESCRIPTION "Plexitone MIDI Pipe"

LangString PxMsgNoShortcuts 1033 "Cannot make the start-menu group."
LangString PxMsgNoRegistry 1033 "Cannot write to the registry. Run the installation as an administrator."
LangString PxMsgNoDriver 1033 "Cannot write the pipe driver. Close the programs that use MIDI, or run \
the installation as an administrator."
LangString PxMsgDriverListFull 1033 "The list of MIDI drivers is full (midi to midi99): the Plexitone \
pipe driver cannot be registered."

; Reports a failure when a step since the last ClearErrors failed; $_PxWhat names what was written.
!macro _PxRequireWritten
  ${If} ${Errors}
    StrCpy $_PxMessage "$(PxMsgNoRegistry)"
    ${CallArtificialFunction} _PxFail
  ${EndIf}
!macroend

; The group "Plexitone" in the current user's Programs folder (the uninstaller removes that one, not the
; group of all users) with its five shortcuts: the application, its help, its license, its home page,
; each a full path, and the uninstaller.
!macro PxStartMenuGroup HELP LICENSE HOME_PAGE
  !verbose push 3
  !insertmacro _PxEnter
  SetShellVarContext current
  ClearErrors
  CreateDirectory "$SMPROGRAMS\${PX_GROUP_NAME}"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP_NAME}\${PX_APP_SHORTCUT}" "$INSTDIR\${PX_APP_FILE_NAME}"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP_NAME}\${PX_HELP_SHORTCUT}" "${HELP}"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP_NAME}\${PX_LICENSE_SHORTCUT}" "${LICENSE}"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP_NAME}\${PX_HOME_PAGE_SHORTCUT}" "${HOME_PAGE}"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP_NAME}\${PX_UNINSTALL_SHORTCUT}" \
      "$INSTDIR\${PX_UNINSTALLER_FILE_NAME}"
  ${If} ${Errors}
    StrCpy $_PxMessage "$(PxMsgNoShortcuts)"
    StrCpy $_PxWhat "$SMPROGRAMS\${PX_GROUP_NAME}"
    ${CallArtificialFunction} _PxFail
  ${EndIf}
  !verbose pop
!macroend

; The application path. The uninstaller removes it only while its default value names a program in the
; uninstaller's own folder, so the value is the full path of px.exe in $INSTDIR.
!macro PxAppPath
  !verbose push 3
  !insertmacro _PxEnter
  WriteRegStr HKLM "${PX_APP_PATH_KEY}" "" "$INSTDIR\${PX_APP_FILE_NAME}"
  WriteRegStr HKLM "${PX_APP_PATH_KEY}" "Path" "$INSTDIR"
  StrCpy $_PxWhat "HKEY_LOCAL_MACHINE\${PX_APP_PATH_KEY}"
  ${CallArtificialFunction} _PxRequireWritten
  !verbose pop
!macroend

; The user's settings key with its four subkeys, empty: the script writes the application's values into
; them (${PX_PRODUCT_KEY}, ${PX_AUDIO_SETTINGS_KEY} ... under HKCU). The uninstaller deletes exactly these
; four before the product key; on the NT line a fifth would keep the key.
!macro _PxUserSettings
  Push $0
  ClearErrors
  ${ForEach} $0 1 5 + 1
    ${Select} $0
      ${Case} 1
        StrCpy $_PxWhat "${PX_PRODUCT_KEY}"
      ${Case} 2
        StrCpy $_PxWhat "${PX_AUDIO_SETTINGS_KEY}"
      ${Case} 3
        StrCpy $_PxWhat "${PX_MIDI_SETTINGS_KEY}"
      ${Case} 4
        StrCpy $_PxWhat "${PX_RECENT_FILES_KEY}"
      ${CaseElse}
        StrCpy $_PxWhat "${PX_OFFLINE_RENDERING_KEY}"
    ${EndSelect}
    ; NSIS makes a key only by writing a value; the default value goes again and the key stays.
    ${IfNot} ${Errors}
      WriteRegStr HKCU "$_PxWhat" "" ""
      DeleteRegValue HKCU "$_PxWhat" ""
    ${EndIf}
  ${Next}
  StrCpy $_PxWhat "HKEY_CURRENT_USER\$_PxWhat"
  Pop $0
  ${CallArtificialFunction} _PxRequireWritten
!macroend

!macro PxUserSettings
  !verbose push 3
  !insertmacro _PxEnter
  ${CallArtificialFunction} _PxUserSettings
  !verbose pop
!macroend

; The entry's values under ROOT: what Windows's list of installed programs shows (publisher, version,
; size, date, icon, no Modify or Repair button), what winget matches a package by, and the commands the
; deployment tools run, QuietUninstallString first. $_PxScratch holds the install's date.
!macro _PxUninstallValues ROOT
  WriteRegStr ${ROOT} "${PX_UNINSTALL_KEY}" "DisplayName" "Plexitone"
  WriteRegStr ${ROOT} "${PX_UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\${PX_UNINSTALLER_FILE_NAME}$\""
  WriteRegStr ${ROOT} "${PX_UNINSTALL_KEY}" "QuietUninstallString" \
      "$\"$INSTDIR\${PX_UNINSTALLER_FILE_NAME}$\" /S"
  WriteRegStr ${ROOT} "${PX_UNINSTALL_KEY}" "DisplayVersion" "${PX_VERSION_TEXT}"
  WriteRegDWORD ${ROOT} "${PX_UNINSTALL_KEY}" "VersionMajor" ${PX_VERSION_MAJOR}
  WriteRegDWORD ${ROOT} "${PX_UNINSTALL_KEY}" "VersionMinor" ${PX_VERSION_MINOR}
  WriteRegStr ${ROOT} "${PX_UNINSTALL_KEY}" "Publisher" "${PX_MAKER_NAME}"
  WriteRegStr ${ROOT} "${PX_UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PX_APP_FILE_NAME}"
  WriteRegStr ${ROOT} "${PX_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ; The payload's size that pxlog nsis summed; a script without it leaves Windows to guess.
  !ifdef PX_PAYLOAD_KIB
    WriteRegDWORD ${ROOT} "${PX_UNINSTALL_KEY}" "EstimatedSize" ${PX_PAYLOAD_KIB}
  !endif
  WriteRegStr ${ROOT} "${PX_UNINSTALL_KEY}" "InstallDate" "$_PxScratch"
  ; The uninstaller has neither: the buttons would start it.
  WriteRegDWORD ${ROOT} "${PX_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD ${ROOT} "${PX_UNINSTALL_KEY}" "NoRepair" 1
!macroend

; The entry in the list of installed programs: the user's list on the NT line, the machine's on the
; consumer line, which has no list of its own per user. That is where the uninstaller looks.
!macro _PxUninstallEntry
  Push $0
  Push $1
  Push $2
  Push $3
  ; The date by the install's own clock, as the list shows it: YYYYMMDD. A SYSTEMTIME is eight WORDs:
  ; year, month, day of the week, day, ...
  System::Call "*(&i2, &i2, &i2, &i2, &i2, &i2, &i2, &i2) p .r0"
  System::Call "kernel32::GetLocalTime(p r0)"
  System::Call "*$0(&i2 .r1, &i2 .r2, &i2, &i2 .r3)"
  System::Free $0
  IntFmt $1 "%04u" $1
  IntFmt $2 "%02u" $2
  IntFmt $3 "%02u" $3
  StrCpy $_PxScratch "$1$2$3"
  Pop $3
  Pop $2
  Pop $1
  Pop $0
  ClearErrors
  ${If} ${IsNT}
    !insertmacro _PxUninstallValues HKCU
    StrCpy $_PxWhat "HKEY_CURRENT_USER\${PX_UNINSTALL_KEY}"
  ${Else}
    !insertmacro _PxUninstallValues HKLM
    StrCpy $_PxWhat "HKEY_LOCAL_MACHINE\${PX_UNINSTALL_KEY}"
  ${EndIf}
  ${CallArtificialFunction} _PxRequireWritten
!macroend

!macro PxUninstallEntry
  !verbose push 3
  !insertmacro _PxEnter
  ${CallArtificialFunction} _PxUninstallEntry
  !verbose pop
!macroend

; Registers the driver in the first free name of the NT line's MIDI driver list ("midi", "midi1" ...
; "midi99", the names the uninstaller tries) with its description; a name that already holds the driver
; is kept, so a reinstall adds no second one. A name is free only when no value of that name exists:
; ReadRegStr fails alike for a missing value and for another program's REG_DWORD or REG_BINARY, which
; would then be overwritten. RegQueryValueExA without a buffer tells the two apart.
!macro _PxRegisterDriverNt
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $1 ""
  StrCpy $3 0
  System::Call "advapi32::RegOpenKeyExA(p 0x80000002, t '${PX_DRIVERS32_KEY}', i 0, i 0x20019, *p .r3) i .r4"
  ${If} $4 <> 0
    StrCpy $3 0
  ${EndIf}
  ${For} $0 0 99
    ${If} $0 = 0
      StrCpy $2 "${PX_DRIVER_LIST_NAME}"
    ${Else}
      StrCpy $2 "${PX_DRIVER_LIST_NAME}$0"
    ${EndIf}
    ; ERROR_FILE_NOT_FOUND (2): no value of that name; without the key, none at all.
    StrCpy $4 2
    ${If} $3 <> 0
      System::Call "advapi32::RegQueryValueExA(p r3, t r2, p 0, p 0, p 0, p 0) i .r4"
    ${EndIf}
    ${If} $4 = 2
      ${If} $1 == ""
        StrCpy $1 "$2"
      ${EndIf}
    ${Else}
      ClearErrors
      ReadRegStr $4 HKLM "${PX_DRIVERS32_KEY}" "$2"
      ${IfNot} ${Errors}
      ${AndIf} $4 == "${PX_PIPE_DRIVER_FILE_NAME}"
        StrCpy $1 "$2"
        ${Break}
      ${EndIf}
    ${EndIf}
  ${Next}
  ${If} $3 <> 0
    System::Call "advapi32::RegCloseKey(p r3)"
  ${EndIf}
  ClearErrors
  ${If} $1 == ""
    StrCpy $_PxMessage "$(PxMsgDriverListFull)"
    StrCpy $_PxWhat "HKEY_LOCAL_MACHINE\${PX_DRIVERS32_KEY}"
    ${CallArtificialFunction} _PxFail
  ${Else}
    WriteRegStr HKLM "${PX_DRIVERS32_KEY}" "$1" "${PX_PIPE_DRIVER_FILE_NAME}"
    WriteRegStr HKLM "${PX_DRIVERS_DESC_KEY}" "${PX_PIPE_DRIVER_FILE_NAME}" "${PX_DRIVER_DESCRIPTION}"
    StrCpy $_PxWhat "HKEY_LOCAL_MACHINE\${PX_DRIVERS32_KEY}"
    ${CallArtificialFunction} _PxRequireWritten
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
!macroend

; The driver's use count, kept in HKLM under its file name as the uninstaller reads it. This product has
; counted itself already only when the product key names the driver and a count is there: an uninstall
; that stopped after releasing the count leaves the product key, and a reinstall that took the key alone
; for its count would leave another program's later count of 1 as the only one, to be released to 0 by
; the next uninstall while that program still uses the driver.
!macro _PxCountDriverUse
  Push $0
  Push $1
  ClearErrors
  ReadRegDWORD $1 HKLM "${PX_SHARED_DLLS_KEY}" "${PX_PIPE_DRIVER_FILE_NAME}"
  ${If} ${Errors}
    StrCpy $1 0
  ${EndIf}
  ClearErrors
  ReadRegStr $0 HKLM "${PX_PRODUCT_KEY}" "${PX_PIPE_DRIVER_VALUE}"
  ${If} ${Errors}
    StrCpy $0 ""
  ${EndIf}
  ClearErrors
  ${If} $0 != "${PX_PIPE_DRIVER_FILE_NAME}"
  ${OrIf} $1 = 0
    IntOp $1 $1 + 1
    WriteRegDWORD HKLM "${PX_SHARED_DLLS_KEY}" "${PX_PIPE_DRIVER_FILE_NAME}" $1
    StrCpy $_PxWhat "HKEY_LOCAL_MACHINE\${PX_SHARED_DLLS_KEY}"
    ${CallArtificialFunction} _PxRequireWritten
  ${EndIf}
  Pop $1
  Pop $0
!macroend

; The driver's place in the line's MIDI driver list, and last the machine-wide product key that names it,
; which tells a later install that this product already holds one use of the file.
!macro _PxRegisterDriver
  ${CallArtificialFunction} _PxCountDriverUse
  ${IfNot} ${Errors}
    ${If} ${IsNT}
      ${CallArtificialFunction} _PxRegisterDriverNt
    ${Else}
      ; The consumer line lists MIDI drivers in [drivers] of system.ini in the Windows folder.
      ClearErrors
      WriteINIStr "$WINDIR\${PX_SYSTEM_INI_FILE}" "${PX_SYSTEM_INI_DRIVERS}" "${PX_SYSTEM_INI_DRIVER_KEY}" \
          "${PX_PIPE_DRIVER_FILE_NAME}"
      StrCpy $_PxWhat "${PX_SYSTEM_INI_DRIVER_KEY}= in $WINDIR\${PX_SYSTEM_INI_FILE}"
      ${CallArtificialFunction} _PxRequireWritten
    ${EndIf}
  ${EndIf}
  ${IfNot} ${Errors}
    WriteRegStr HKLM "${PX_PRODUCT_KEY}" "${PX_PIPE_DRIVER_VALUE}" "${PX_PIPE_DRIVER_FILE_NAME}"
    WriteRegStr HKLM "${PX_PRODUCT_KEY}" "Path" "$INSTDIR"
    StrCpy $_PxWhat "HKEY_LOCAL_MACHINE\${PX_PRODUCT_KEY}"
    ${CallArtificialFunction} _PxRequireWritten
  ${EndIf}
!macroend

; The pipe driver SOURCE (read by makensis) as pxpipe.drv in the system folder, its use count and its
; registration.
!macro PxPipeDriver SOURCE
  !verbose push 3
  !insertmacro _PxEnter
  File "/oname=$SYSDIR\${PX_PIPE_DRIVER_FILE_NAME}" "${SOURCE}"
  ${If} ${Errors}
    StrCpy $_PxMessage "$(PxMsgNoDriver)"
    StrCpy $_PxWhat "$SYSDIR\${PX_PIPE_DRIVER_FILE_NAME}"
    ${CallArtificialFunction} _PxFail
  ${Else}
    ${CallArtificialFunction} _PxRegisterDriver
  ${EndIf}
  !verbose pop
!macroend

!endif
!verbose pop
