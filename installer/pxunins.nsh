; The installer side of pxunins.exe for an ANSI NSIS script: writes the uninstall log _pxunins.dat as the
; installation goes, and makes the start-menu group, registry entries and pipe driver under the fixed names
; the uninstaller removes.
;
;   Unicode false                          ; before anything else in the script
;   !include "payload.nsh"                 ; from "pxlog nsis --from-dir staging" (PX_DEEPEST, PxPayload)
;   !include "pxunins.nsh"
;   Function .onVerifyInstDir
;     !insertmacro PxVerifyInstDir         ; keeps Next greyed while the deepest path would not fit
;   FunctionEnd
;   Section
;     !insertmacro PxLogOpen               ; refuses a too deep $INSTDIR before anything is made
;     !insertmacro PxPlaceUninstaller "pxunins.exe"
;     !insertmacro PxPayload
;     ...                                  ; PxDir, PxFile, then the macros of pxunins_system.nsh
;     !insertmacro PxLogClose
;   SectionEnd
;
; Every macro that fails stops the install: a message box (answered OK in silent mode), the reason in
; the details, exit code 2. What was made up to then is in the log, so the uninstaller removes it.

!ifndef PXUNINS_NSH
!define PXUNINS_NSH

!include "LogicLib.nsh"

; The log holds each path as ANSI code-page bytes with its length in bytes. A Unicode build measures and
; writes UTF-16 units: under code page 932 it wrote the length 16 for a 19-byte path, and the uninstaller
; refused the whole log.
!ifdef NSIS_UNICODE
  !error "pxunins.nsh needs an ANSI installer: put 'Unicode false' at the top of the script"
!endif

!define PX_LOG_NAME "_pxunins.dat"
!define PX_UNINSTALLER_NAME "pxunins.exe"
; The uninstaller keeps every path in a MAX_PATH buffer: 259 bytes and the NUL.
!define PX_LONGEST_PATH 259
; The path below $INSTDIR whose full path is the longest; the generated payload redefines it.
!ifndef PX_DEEPEST
  !define PX_DEEPEST "${PX_LOG_NAME}"
!endif

Var PxLogHandle   ; the open log, "" while none is open
Var PxLogCount    ; entries in the log so far; written at offset 8 after every entry
Var PxLogEnd      ; offset just after the last counted entry: where the next one goes
Var PxExisted     ; 1 when the file PxFile is about to write was there before

; Stops the install. Stack: the message. The log is closed first, so it holds exactly what was made.
Function PxStop
  Exch $0
  DetailPrint "$0"
  ${If} $PxLogHandle != ""
    FileClose $PxLogHandle
    StrCpy $PxLogHandle ""
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
  SetErrorLevel 2
  Abort "$0"
FunctionEnd

!macro PxStop MESSAGE
  Push "${MESSAGE}"
  Call PxStop
!macroend

; Stack: a path in, and out "" when it fits in the uninstaller's buffers, otherwise the message that
; says why not. StrLen counts bytes in an ANSI build.
Function PxPathTooLong
  Exch $0
  Push $1
  StrLen $1 "$0"
  ${If} $1 > ${PX_LONGEST_PATH}
    StrCpy $0 "Cannot install into this folder: $\"$0$\" would be $1 bytes long, and Windows paths \
hold at most ${PX_LONGEST_PATH}. Choose a shorter folder."
  ${Else}
    StrCpy $0 ""
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; For .onVerifyInstDir: Next stays greyed while the deepest path the payload makes would not fit.
!macro PxVerifyInstDir
  Push "$INSTDIR\${PX_DEEPEST}"
  Call PxPathTooLong
  Exch $0
  ${If} $0 != ""
    Pop $0
    Abort
  ${EndIf}
  Pop $0
!macroend

; For a folder page's leave function: says why the folder is refused and keeps the page.
!macro PxRefuseDeepInstDir
  Push "$INSTDIR\${PX_DEEPEST}"
  Call PxPathTooLong
  Exch $0
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$0" /SD IDOK
    Pop $0
    Abort
  ${EndIf}
  Pop $0
!macroend

; Stops the install when the path would not fit. Stack: the path.
Function PxRequireFits
  Call PxPathTooLong
  Exch $0
  ${If} $0 != ""
    !insertmacro PxStop "$0"
  ${EndIf}
  Pop $0
FunctionEnd

; Writes a 32-bit number little-endian. Stack: the number. FileWriteByte writes the low byte of its
; argument (an ANSI build has no FileWriteWord, and FileWrite stops at a NUL).
Function PxLogWriteNumber
  Exch $0
  Push $1
  FileWriteByte $PxLogHandle $0
  IntOp $1 $0 >> 8
  FileWriteByte $PxLogHandle $1
  IntOp $1 $0 >> 16
  FileWriteByte $PxLogHandle $1
  IntOp $1 $0 >> 24
  FileWriteByte $PxLogHandle $1
  Pop $1
  Pop $0
FunctionEnd

; Reads a 32-bit little-endian number onto the stack; sets the error flag at the end of the file.
Function PxLogReadNumber
  Push $0
  Push $1
  Push $2
  StrCpy $2 0
  StrCpy $0 0
  ${Do}
    FileReadByte $PxLogHandle $1
    IntOp $1 $1 << $2
    IntOp $0 $0 | $1
    IntOp $2 $2 + 8
  ${LoopUntil} $2 = 32
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Appends one entry and then patches the count, so that a log cut off at any moment lists exactly the
; entries written before. Stack: kind (0 file, 1 folder) on top, then the path.
Function PxLogEntry
  Exch $0      ; kind
  Exch
  Exch $1      ; path
  Push $2
  Push "$1"
  Call PxRequireFits
  StrLen $2 "$1"
  ClearErrors
  FileSeek $PxLogHandle $PxLogEnd SET
  Push $0
  Call PxLogWriteNumber
  Push $2
  Call PxLogWriteNumber
  FileWrite $PxLogHandle "$1"
  IntOp $PxLogEnd $PxLogEnd + 8
  IntOp $PxLogEnd $PxLogEnd + $2
  IntOp $PxLogCount $PxLogCount + 1
  FileSeek $PxLogHandle 8 SET
  Push $PxLogCount
  Call PxLogWriteNumber
  ${If} ${Errors}
    !insertmacro PxStop "Cannot write the uninstall log $\"$INSTDIR\${PX_LOG_NAME}$\". The installation \
stops here; what it made so far is listed in the log."
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

!macro PxLogEntry KIND PATH
  Push "${PATH}"
  Push ${KIND}
  Call PxLogEntry
!macroend

; Stack: a folder in, and out how many of its levels do not exist (0 when it exists). NSIS's
; GetFullPathName gives "x\.." only when that parent exists, so the walk climbs by "\.." until it names an
; existing folder. Windows resolves ".." on real separators, also where a Shift-JIS character ends in
; 0x5C; a scan for the last backslash byte would cut such a character in two.
Function PxMissingLevels
  Exch $0
  Push $1
  Push $2
  StrCpy $1 0
  ${IfNot} ${FileExists} "$0\*.*"
    ${Do}
      IntOp $1 $1 + 1
      StrCpy $0 "$0\.."
      GetFullPathName $2 "$0"
      ${If} $2 != ""
      ${OrIf} $1 > ${PX_LONGEST_PATH}
        ${Break}
      ${EndIf}
    ${Loop}
  ${EndIf}
  StrCpy $0 $1
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Logs the folder and the levels above it that were made with it, parent first. Stack: the number of
; levels on top, then the folder. Once made, each level exists, so GetFullPathName names every parent.
Function PxLogLevels
  Exch $0      ; levels
  Exch
  Exch $1      ; folder
  Push $2
  Push $3
  StrCpy $2 "$1"
  StrCpy $3 0
  ${DoWhile} $3 < $0
    Push "$2"
    IntOp $3 $3 + 1
    GetFullPathName $2 "$2\.."
  ${Loop}
  ${DoWhile} $3 > 0
    Pop $2
    !insertmacro PxLogEntry 1 "$2"
    IntOp $3 $3 - 1
  ${Loop}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Creates a folder with every missing level and logs each level it made, parent first; levels that
; already existed (the user's own folder, an earlier installation) are not logged. Stack: the folder.
Function PxDir
  Exch $0
  Push $1
  Push "$0"
  Call PxRequireFits
  Push "$0"
  Call PxMissingLevels
  Pop $1
  ${If} $1 > 0
    CreateDirectory "$0"
    ${IfNot} ${FileExists} "$0\*.*"
      !insertmacro PxStop "Cannot create the folder $\"$0$\". The installation stops here; what it \
made so far is listed in the uninstall log."
    ${EndIf}
    Push "$0"
    Push $1
    Call PxLogLevels
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

!macro PxDir FOLDER
  Push "${FOLDER}"
  Call PxDir
!macroend

; Before a file is written: its length, and whether it was there before. Stack: the path.
Function PxFileBefore
  Exch $0
  Push "$0"
  Call PxRequireFits
  StrCpy $PxExisted 0
  ${If} ${FileExists} "$0"
    StrCpy $PxExisted 1
  ${EndIf}
  Pop $0
  ClearErrors
FunctionEnd

; After a file is written. NSIS's File sets the error flag when the file cannot be written (after the
; user chose Ignore, or at once in silent mode) and goes on; this stops instead. A file that was there
; before is not logged: the installation did not make it, and on a reinstall the first log lists it.
Function PxFileAfter
  Exch $0
  ${If} ${Errors}
    !insertmacro PxStop "Cannot write the file $\"$0$\". Close any program that uses it and run the \
installation again. The installation stops here; what it made so far is listed in the uninstall log."
  ${EndIf}
  ${If} $PxExisted != 1
    !insertmacro PxLogEntry 0 "$0"
  ${EndIf}
  Pop $0
FunctionEnd

; Installs the local file SOURCE (read by makensis) as TARGET, a full path in a folder made before.
!macro PxFile SOURCE TARGET
  Push "${TARGET}"
  Call PxFileBefore
  File "/oname=${TARGET}" "${SOURCE}"
  Push "${TARGET}"
  Call PxFileAfter
!macroend

; Counts the sound entries of a log already in place into $PxLogCount and $PxLogEnd: kinds 0 and 1,
; lengths 1 to 259, every byte present. A log with another header counts as empty.
Function PxLogAdoptEntries
  Push $0
  Push $1
  Push $2
  Push $3
  FileSeek $PxLogHandle 0 END $3
  FileSeek $PxLogHandle 0 SET
  ClearErrors
  Call PxLogReadNumber
  Pop $0
  Call PxLogReadNumber
  Pop $1
  Call PxLogReadNumber
  Pop $2
  ${If} ${Errors}
  ${OrIf} $0 <> 0x5749AAE0
  ${OrIf} $1 <> 0
    Goto done
  ${EndIf}
  ${DoWhile} $PxLogCount < $2
    Call PxLogReadNumber
    Pop $0
    Call PxLogReadNumber
    Pop $1
    ${If} ${Errors}
    ${OrIf} $0 U> 1
    ${OrIf} $1 < 1
    ${OrIf} $1 > ${PX_LONGEST_PATH}
      ${Break}
    ${EndIf}
    IntOp $1 $1 + $PxLogEnd
    IntOp $1 $1 + 8
    ${If} $1 > $3
      ${Break}
    ${EndIf}
    StrCpy $PxLogEnd $1
    IntOp $PxLogCount $PxLogCount + 1
    FileSeek $PxLogHandle $PxLogEnd SET
  ${Loop}
done:
  ClearErrors
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Opens the log in $INSTDIR after making the folder. An earlier log there (a reinstall, or an install that
; stopped half-way) is kept: the new entries go after its last sound entry, so the uninstaller still
; removes everything the first installation made. Anything else there is overwritten.
Function PxLogOpen
  Push $0
  Push $1
  ; Nothing is made unless the deepest path fits.
  Push "$INSTDIR\${PX_DEEPEST}"
  Call PxRequireFits
  Push "$INSTDIR"
  Call PxMissingLevels
  Pop $1
  ${If} $1 > 0
    CreateDirectory "$INSTDIR"
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
      !insertmacro PxStop "Cannot create the folder $\"$INSTDIR$\". Choose another folder."
    ${EndIf}
  ${EndIf}
  ; Now that it exists: the folder's full long name, as GetModuleFileNameA will give it to the uninstaller.
  GetFullPathName $0 "$INSTDIR"
  ${If} $0 != ""
    StrCpy $INSTDIR "$0"
  ${EndIf}
  StrCpy $PxLogCount 0
  StrCpy $PxLogEnd 12
  ClearErrors
  FileOpen $PxLogHandle "$INSTDIR\${PX_LOG_NAME}" a
  ${If} ${Errors}
    StrCpy $PxLogHandle ""
    !insertmacro PxStop "Cannot write the uninstall log $\"$INSTDIR\${PX_LOG_NAME}$\"."
  ${EndIf}
  Call PxLogAdoptEntries
  ; The header: magic 0x5749AAE0 (bytes E0 AA 49 57), a second word of 0, the count.
  FileSeek $PxLogHandle 0 SET
  Push 0x5749AAE0
  Call PxLogWriteNumber
  Push 0
  Call PxLogWriteNumber
  Push $PxLogCount
  Call PxLogWriteNumber
  ${If} ${Errors}
    !insertmacro PxStop "Cannot write the uninstall log $\"$INSTDIR\${PX_LOG_NAME}$\"."
  ${EndIf}
  ${If} $1 > 0
    Push "$INSTDIR"
    Push $1
    Call PxLogLevels
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

!macro PxLogOpen
  Call PxLogOpen
!macroend

!macro PxLogClose
  ${If} $PxLogHandle != ""
    FileClose $PxLogHandle
    StrCpy $PxLogHandle ""
  ${EndIf}
!macroend

; Puts the uninstaller into $INSTDIR. It is not logged, and neither is the log: a running program cannot
; delete its own file, so both stay, and with them the folder.
!macro PxPlaceUninstaller SOURCE
  ClearErrors
  File "/oname=$INSTDIR\${PX_UNINSTALLER_NAME}" "${SOURCE}"
  ${If} ${Errors}
    !insertmacro PxStop "Cannot write the uninstaller $\"$INSTDIR\${PX_UNINSTALLER_NAME}$\"."
  ${EndIf}
!macroend

; Beside this file, wherever the script that includes it lies.
!include "${__FILEDIR__}/pxunins_system.nsh"

!endif
