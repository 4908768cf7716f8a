; What the installation registers outside its folder, under the fixed names the uninstaller removes: the
; start-menu group, the application path, the user's settings, the entry in the list of installed
; programs, and the MIDI pipe driver. Included by pxunins.nsh; each macro stops the install (PxStop) when
; Windows refuses a step, for instance a user without the right to write HKEY_LOCAL_MACHINE.

!ifndef PXUNINS_SYSTEM_NSH
!define PXUNINS_SYSTEM_NSH

!define PX_GROUP "Plexitone"
!define PX_APP_PATH_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths\px.exe"
!define PX_USER_PRODUCT_KEY "SOFTWARE\Morvaine\Plexitone"
!define PX_MACHINE_PRODUCT_KEY "SOFTWARE\Morvaine\Plexitone"
!define PX_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Plexitone"
!define PX_SHARED_DLLS_KEY "Software\Microsoft\Windows\CurrentVersion\SharedDLLs"
!define PX_DRIVERS32_KEY "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Drivers32"
!define PX_DRIVERS_DESC_KEY "SOFTWARE\Microsoft\Windows NT\CurrentVersion\drivers.desc"
!define PX_DRIVER_NAME "pxpipe.drv"
!define PX_DRIVER_DESCRIPTION "Plexitone MIDI Pipe"

; Stops the install when the registry steps since the last ClearErrors failed. Stack: what was written.
Function PxRequireWritten
  Exch $0
  ${If} ${Errors}
    !insertmacro PxStop "Cannot write $0. Run the installation as an administrator."
  ${EndIf}
  Pop $0
FunctionEnd

!macro PxRequireWritten WHAT
  Push "${WHAT}"
  Call PxRequireWritten
!macroend

; Stack out: 1 on the NT line, 0 on the consumer line. GetVersion sets the top bit on the consumer line,
; the same split as the platform identifier of GetVersionExA that the uninstaller asks.
Function PxIsNtLine
  Push $0
  System::Call "kernel32::GetVersion() i .r0"
  IntOp $0 $0 & 0x80000000
  ${If} $0 = 0
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Exch $0
FunctionEnd

; The group "Plexitone" in the current user's Programs folder (the uninstaller removes that one, not the
; group of all users) with its five shortcuts; the targets are the sample application's.
!macro PxStartMenuGroup
  SetShellVarContext current
  ClearErrors
  CreateDirectory "$SMPROGRAMS\${PX_GROUP}"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP}\Plexitone.lnk" "$INSTDIR\px.exe"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP}\Plexitone Help.lnk" "$INSTDIR\Help\px.chm"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP}\Plexitone License.lnk" "$INSTDIR\license.txt"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP}\Plexitone Home Page.lnk" "$INSTDIR\Plexitone.url"
  CreateShortCut "$SMPROGRAMS\${PX_GROUP}\Uninstall Plexitone.lnk" "$INSTDIR\${PX_UNINSTALLER_NAME}"
  !insertmacro PxRequireWritten "the start-menu group $\"$SMPROGRAMS\${PX_GROUP}$\""
!macroend

; The application path. The uninstaller removes it only while its default value names a program in the
; uninstaller's own folder, so the value is the full path of px.exe in $INSTDIR.
!macro PxAppPath
  ClearErrors
  WriteRegStr HKLM "${PX_APP_PATH_KEY}" "" "$INSTDIR\px.exe"
  WriteRegStr HKLM "${PX_APP_PATH_KEY}" "Path" "$INSTDIR"
  !insertmacro PxRequireWritten "HKEY_LOCAL_MACHINE\${PX_APP_PATH_KEY}"
!macroend

; The user's settings with their four subkeys, as the application starts with them. The uninstaller
; deletes exactly these four before the product key; on the NT line a fifth would keep the key.
!macro PxUserSettings
  ClearErrors
  WriteRegStr HKCU "${PX_USER_PRODUCT_KEY}" "Version" "2.1"
  WriteRegStr HKCU "${PX_USER_PRODUCT_KEY}" "Skin" "Classic"
  WriteRegStr HKCU "${PX_USER_PRODUCT_KEY}\Audio" "Device" "Primary Sound Driver"
  WriteRegDWORD HKCU "${PX_USER_PRODUCT_KEY}\Audio" "Latency" 40
  WriteRegStr HKCU "${PX_USER_PRODUCT_KEY}\MIDI" "Input" "Plexitone Pipe"
  WriteRegDWORD HKCU "${PX_USER_PRODUCT_KEY}\MIDI" "Thru" 1
  WriteRegStr HKCU "${PX_USER_PRODUCT_KEY}\Recent Files" "File1" "C:\My Music\song.pxs"
  WriteRegStr HKCU "${PX_USER_PRODUCT_KEY}\Recent Files" "File2" "C:\My Music\demo.pxs"
  WriteRegStr HKCU "${PX_USER_PRODUCT_KEY}\Offline Rendering" "Format" "WAV"
  WriteRegDWORD HKCU "${PX_USER_PRODUCT_KEY}\Offline Rendering" "Bits" 16
  !insertmacro PxRequireWritten "HKEY_CURRENT_USER\${PX_USER_PRODUCT_KEY}"
!macroend

; The entry in the list of installed programs: the user's list on the NT line, the machine's on the
; consumer line, which has no list of its own per user. That is where the uninstaller looks.
Function PxUninstallEntry
  Push $0
  Call PxIsNtLine
  Pop $0
  ClearErrors
  ${If} $0 = 1
    WriteRegStr HKCU "${PX_UNINSTALL_KEY}" "DisplayName" "Plexitone"
    WriteRegStr HKCU "${PX_UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\${PX_UNINSTALLER_NAME}$\""
  ${Else}
    WriteRegStr HKLM "${PX_UNINSTALL_KEY}" "DisplayName" "Plexitone"
    WriteRegStr HKLM "${PX_UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\${PX_UNINSTALLER_NAME}$\""
  ${EndIf}
  !insertmacro PxRequireWritten "the entry $\"${PX_UNINSTALL_KEY}$\""
  Pop $0
FunctionEnd

!macro PxUninstallEntry
  Call PxUninstallEntry
!macroend

; Registers the driver in the first free name of the NT line's MIDI driver list ("midi", "midi1" ...
; "midi99", the names the uninstaller tries) with its description; a name that already holds the driver
; is kept, so a reinstall adds no second one.
Function PxRegisterDriverNt
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $1 ""
  StrCpy $0 0
  ${DoWhile} $0 < 100
    ${If} $0 = 0
      StrCpy $2 "midi"
    ${Else}
      StrCpy $2 "midi$0"
    ${EndIf}
    ClearErrors
    ReadRegStr $3 HKLM "${PX_DRIVERS32_KEY}" "$2"
    ${If} ${Errors}
      ${If} $1 == ""
        StrCpy $1 "$2"
      ${EndIf}
    ${ElseIf} $3 == "${PX_DRIVER_NAME}"
      StrCpy $1 "$2"
      ${Break}
    ${EndIf}
    IntOp $0 $0 + 1
  ${Loop}
  ${If} $1 == ""
    !insertmacro PxStop "The list of MIDI drivers is full (midi to midi99): the Plexitone pipe driver \
cannot be registered."
  ${EndIf}
  ClearErrors
  WriteRegStr HKLM "${PX_DRIVERS32_KEY}" "$1" "${PX_DRIVER_NAME}"
  WriteRegStr HKLM "${PX_DRIVERS_DESC_KEY}" "${PX_DRIVER_NAME}" "${PX_DRIVER_DESCRIPTION}"
  !insertmacro PxRequireWritten "the MIDI driver list $\"HKEY_LOCAL_MACHINE\${PX_DRIVERS32_KEY}$\""
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; The driver's use count, kept in HKLM under its file name as the uninstaller reads it. Stack: 1 when
; this product had counted itself already (a reinstall), which leaves the count as it is.
Function PxCountDriverUse
  Exch $0
  Push $1
  ${If} $0 != 1
    ClearErrors
    ReadRegDWORD $1 HKLM "${PX_SHARED_DLLS_KEY}" "${PX_DRIVER_NAME}"
    ${If} ${Errors}
      StrCpy $1 0
    ${EndIf}
    IntOp $1 $1 + 1
    ClearErrors
    WriteRegDWORD HKLM "${PX_SHARED_DLLS_KEY}" "${PX_DRIVER_NAME}" $1
    !insertmacro PxRequireWritten "the use count $\"HKEY_LOCAL_MACHINE\${PX_SHARED_DLLS_KEY}$\""
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; The pipe driver SOURCE (read by makensis) as pxpipe.drv in the system folder, its use count, its place
; in the line's MIDI driver list, and last the machine-wide product key that names it, which tells a
; later install that this product already holds one use of the file.
!macro PxPipeDriver SOURCE
  Push $0
  ClearErrors
  ReadRegStr $0 HKLM "${PX_MACHINE_PRODUCT_KEY}" "PlexitonePipe"
  ${If} ${Errors}
    StrCpy $0 0
  ${Else}
    StrCpy $0 1
  ${EndIf}
  ClearErrors
  File "/oname=$SYSDIR\${PX_DRIVER_NAME}" "${SOURCE}"
  ${If} ${Errors}
    !insertmacro PxStop "Cannot write the pipe driver $\"$SYSDIR\${PX_DRIVER_NAME}$\". Close the \
programs that use MIDI, or run the installation as an administrator."
  ${EndIf}
  Push $0
  Call PxCountDriverUse
  Call PxIsNtLine
  Pop $0
  ${If} $0 = 1
    Call PxRegisterDriverNt
  ${Else}
    ; The consumer line lists MIDI drivers in [drivers] of system.ini in the Windows folder.
    ClearErrors
    WriteINIStr "$WINDIR\system.ini" "drivers" "MIDIPlexitone" "${PX_DRIVER_NAME}"
    !insertmacro PxRequireWritten "$\"MIDIPlexitone=$\" in $\"$WINDIR\system.ini$\""
  ${EndIf}
  ClearErrors
  WriteRegStr HKLM "${PX_MACHINE_PRODUCT_KEY}" "PlexitonePipe" "${PX_DRIVER_NAME}"
  WriteRegStr HKLM "${PX_MACHINE_PRODUCT_KEY}" "Path" "$INSTDIR"
  !insertmacro PxRequireWritten "HKEY_LOCAL_MACHINE\${PX_MACHINE_PRODUCT_KEY}"
  Pop $0
!macroend

!endif
