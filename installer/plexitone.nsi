; The reference installer of the sample Plexitone: welcome, folder, progress and finish pages, or silent
; with /S and /D=FOLDER. Built by the "installer" preset (installer/CMakeLists.txt), which passes:
;   PX_PAYLOAD      the include "pxlog nsis --from-dir" wrote for the staging tree
;   PX_UNINSTALLER  build/win32/pxunins.exe
;   PX_DRIVER       the pipe driver file
;   PX_OUT          where the installer goes
Unicode false
SetCompressor /SOLID lzma

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
  !insertmacro PxUninstallEntry
  !insertmacro PxStartMenuGroup
  !insertmacro PxLogClose
SectionEnd
