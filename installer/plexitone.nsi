; The reference installer of the sample Plexitone: welcome, folder, progress and finish pages, or silent
; with /S and /D=FOLDER. Built by the "installer" preset (installer/CMakeLists.txt), which passes:
;   PX_PAYLOAD      the include "pxlog nsis --from-dir" wrote for the staging tree
;   PX_UNINSTALLER  build/win32/pxunins.exe
;   PX_DRIVER       the pipe driver file
;   PX_OUT          where the installer goes
;   PX_UNICODE      defined for the Unicode build (the NT line), absent for the ANSI one (both lines)
;   PX_SIGN         tools/sign.sh where the release signs (a key in the environment), absent otherwise
!ifdef PX_UNICODE
  Unicode true
!else
  Unicode false
!endif
SetCompressor /SOLID lzma
; No file dates in the installer: they would be the staging's and the build's, so that two builds of one commit
; differed; the installed files get the time of the installation.
SetDateSave off

!include "${PX_PAYLOAD}"
!include "pxunins.nsh"
!include "MUI2.nsh"

Name "Plexitone"
OutFile "${PX_OUT}"
InstallDir "$PROGRAMFILES\Plexitone"
; HKEY_LOCAL_MACHINE and the system folder take an administrator.
RequestExecutionLevel admin
ShowInstDetails show

!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE PxFolderPageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

; The version resource that the file's properties show, from the version's one home (fixed_names.h).
!define PX_SETUP_DESCRIPTION "Plexitone Setup"
VIProductVersion "${PX_VERSION_TEXT}"
VIFileVersion "${PX_VERSION_TEXT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Plexitone"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PX_MAKER_NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PX_SETUP_DESCRIPTION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${PX_VERSION_TEXT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${PX_VERSION_TEXT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PX_LEGAL_COPYRIGHT}"
; Signed last, once makensis has written the installer, where the release names a key.
!insertmacro PxSignInstaller "${PX_SETUP_DESCRIPTION}"

LangString PxMsgQuotedFolder 1033 "The folder was given in a form the installer cannot take: /D=FOLDER goes \
last and without quotation marks, also when the folder has spaces."

; NSIS takes /D= only last and unquoted; one it did not take would install into the default folder, and a
; tool that waits for the exit code would see a success. It stops there instead, having made nothing.
Function .onInit
  StrLen $R1 $CMDLINE
  StrCpy $R0 0
  ${DoWhile} $R0 < $R1
    StrCpy $R2 $CMDLINE 4 $R0
    ${If} $R2 == '"/D='
      MessageBox MB_OK|MB_ICONSTOP "$(PxMsgQuotedFolder)" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
    IntOp $R0 $R0 + 1
  ${Loop}
FunctionEnd

Function .onVerifyInstDir
  !insertmacro PxVerifyInstDir
FunctionEnd

Function PxFolderPageLeave
  !insertmacro PxRefuseDeepInstDir
FunctionEnd

Section "Plexitone"
  ; The uninstaller first: an install that stops half-way can then be taken back with it.
  !insertmacro PxLogOpen
  !insertmacro PxPlaceUninstaller "${PX_UNINSTALLER}"
  !insertmacro PxPayload
  !insertmacro PxPipeDriver "${PX_DRIVER}"
  !insertmacro PxAppPath
  !insertmacro PxUserSettings
  ; The sample application's settings, as it starts with them.
  WriteRegStr HKCU "${PX_PRODUCT_KEY}" "Version" "${PX_VERSION_MAJOR}.${PX_VERSION_MINOR}"
  WriteRegStr HKCU "${PX_PRODUCT_KEY}" "Skin" "Classic"
  WriteRegStr HKCU "${PX_AUDIO_SETTINGS_KEY}" "Device" "Primary Sound Driver"
  WriteRegDWORD HKCU "${PX_AUDIO_SETTINGS_KEY}" "Latency" 40
  WriteRegStr HKCU "${PX_MIDI_SETTINGS_KEY}" "Input" "Plexitone Pipe"
  WriteRegDWORD HKCU "${PX_MIDI_SETTINGS_KEY}" "Thru" 1
  WriteRegStr HKCU "${PX_RECENT_FILES_KEY}" "File1" "C:\My Music\song.pxs"
  WriteRegStr HKCU "${PX_RECENT_FILES_KEY}" "File2" "C:\My Music\demo.pxs"
  WriteRegStr HKCU "${PX_OFFLINE_RENDERING_KEY}" "Format" "WAV"
  WriteRegDWORD HKCU "${PX_OFFLINE_RENDERING_KEY}" "Bits" 16
  !insertmacro PxUninstallEntry
  !insertmacro PxStartMenuGroup "$INSTDIR\Help\px.chm" "$INSTDIR\license.txt" "$INSTDIR\Plexitone.url"
  !insertmacro PxLogClose
SectionEnd
