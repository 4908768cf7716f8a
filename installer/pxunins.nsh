; The installer side of pxunins.exe for an NSIS script, Unicode or ANSI: writes the uninstall log
; _pxunins.dat as the installation goes, and (pxunins_system.nsh) makes the start-menu group, registry
; entries and pipe driver under the fixed names the uninstaller removes.
;
;   Unicode true                           ; or false; before anything else in the script
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
; A macro that fails sets the error flag and, unless the script defines PX_CONTINUE_ON_ERROR before
; including this file, stops the install: the reason in the details, a message box (not shown in silent
; mode), exit code 2. What was made up to then is in the log, so the uninstaller removes it. The
; messages are LangStrings (PxMsg...) in English; a translated installer sets its own.
;
; Each internal function is defined where its macro is first used: a macro a script leaves out costs
; nothing and warns nothing, also under makensis -WX.
;
; Signing: !insertmacro PxSignInstaller DESCRIPTION, outside any section or function, has makensis run
; the program PX_SIGN (makensis -DPX_SIGN=...) on the installer once it is written, as its last step
; (!finalize), and stop with an error when that fails: PX_SIGN DESCRIPTION URL INSTALLER, URL the maker's
; address PX_HOME_PAGE_URL; tools/sign.sh is such a program. Without PX_SIGN it does nothing, so that one
; script builds signed and unsigned. The uninstaller the installer packs is signed before, by whoever
; builds it, since the installer's signature covers it only as packed bytes.

!verbose push 3
!ifndef PXUNINS_NSH
!define PXUNINS_NSH

!include "LogicLib.nsh"
!include "Util.nsh"
!include "${__FILEDIR__}/pxunins_names.nsh"

; The log holds each path as bytes of the installing machine's ANSI code page, its length in those bytes:
; the uninstaller reads nothing else. An ANSI build's strings are such bytes already. A Unicode build's
; FileWrite converts to that code page (WideCharToMultiByte with CP_ACP), so the kit counts what it
; wrote, not the UTF-16 units of the string: under code page 932 those were 16 for a 19-byte path, and
; the uninstaller refused the whole log. And a Unicode build checks that the code page holds each path:
; one it cannot hold would be logged as "?" (naming nothing) or as a best-fit look-alike (naming another
; file), so it is refused before anything is made.

; The path below $INSTDIR whose full path is the longest; the generated payload defines it.
!define /ifndef PX_DEEPEST "${PX_LOG_FILE_NAME}"

LangString PxMsgPathTooLong 1033 "Cannot install into this folder: a path in it would pass the \
${PX_LONGEST_LOGGED_PATH} bytes Windows paths hold. Choose a shorter folder."
LangString PxMsgStopped 1033 "The installation stops here; what it made so far is listed in the \
uninstall log."
LangString PxMsgNotInCodePage 1033 "Cannot install into this folder: the uninstall log holds paths in the \
code page of this computer's language for programs that are not Unicode, and that code page has no letter \
for a character of this path. Choose a folder whose name that language can write."
LangString PxMsgNoFolder 1033 "Cannot create the folder."
LangString PxMsgNoFile 1033 "Cannot write the file. Close any program that uses it and run the \
installation again."
LangString PxMsgNoLog 1033 "Cannot write the uninstall log."
LangString PxMsgLogClosed 1033 "The uninstall log is not open: PxLogOpen comes before PxDir and PxFile."
LangString PxMsgNoUninstaller 1033 "Cannot write the uninstaller."
LangString PxMsgNoProtection 1033 "Cannot give the installation folder the rights of Program Files \
(administrators may change it, users may read it)."

!macro PxSignInstaller DESCRIPTION
  !ifdef PX_SIGN
    !finalize '"${PX_SIGN}" "${DESCRIPTION}" "${PX_HOME_PAGE_URL}" "%1"' = 0
  !endif
!macroend

; The variables, declared at their first use so that an unused one does not warn.
!macro _PxDeclareVars
  !ifndef _PX_VARS_DECLARED
    !define _PX_VARS_DECLARED
    Var /GLOBAL _PxLog        ; the open log's handle, "" while none is open
    Var /GLOBAL _PxLogCount   ; entries in the log so far
    Var /GLOBAL _PxLogEnd     ; offset just after the last whole entry: where the next one goes
    Var /GLOBAL _PxUnpatched  ; entries written since the count at offset 8 was last patched
    Var /GLOBAL _PxKind       ; the entry to log: kind, path, path length in bytes
    Var /GLOBAL _PxPath
    Var /GLOBAL _PxLength
    Var /GLOBAL _PxFresh      ; the topmost folder this install made, with a backslash; "" for none
    Var /GLOBAL _PxFreshLength
    Var /GLOBAL _PxExisted    ; 1 when the file PxFile is about to write was there before
    Var /GLOBAL _PxScratch
    Var /GLOBAL _PxMessage    ; a failure: what went wrong, and what it concerns
    Var /GLOBAL _PxWhat
    !ifdef NSIS_UNICODE
      Var /GLOBAL _PxBuffer   ; the ANSI bytes of the path _PxMeasure converts
    !endif
    Var /GLOBAL _PxFailed     ; 1 once a step failed since PxPayload began
    Var /GLOBAL _PxChecked    ; 1 within PxPayload, whose every path PxLogOpen measured and checked
  !endif
!macroend

; Every public macro begins here, so that the error flag it leaves names its own failure alone and not
; one that the script's code before it left set.
!macro _PxEnter
  !insertmacro _PxDeclareVars
  ClearErrors
!macroend

; Around the lines of PxPayload, which pxlog nsis writes: the error flag after it is set when any of its
; folders or files failed, not only the last (with PX_CONTINUE_ON_ERROR; otherwise the first stops all).
!macro _PxPayloadBegin
  !insertmacro _PxEnter
  StrCpy $_PxFailed 0
  StrCpy $_PxChecked 1
!macroend

; One name below $INSTDIR of the payload's _PxPayloadNames, which pxlog nsis writes: those whose bytes
; depend on the code page, and the longest of the others.
!macro _PxPayloadName NAME
  ${If} $_PxMessage == ""
    StrCpy $_PxPath "$INSTDIR\${NAME}"
    ${CallArtificialFunction} _PxCheckLength
  ${EndIf}
!macroend

!macro _PxPayloadEnd
  StrCpy $_PxChecked 0
  ClearErrors
  ${If} $_PxFailed = 1
    SetErrors
  ${EndIf}
!macroend

; Writes $_PxScratch as a 32-bit little-endian word, as every number of the log is stored. FileWriteByte
; writes the low byte of its argument; an ANSI build has no FileWriteWord, and FileWrite stops at a NUL.
!macro _PxWriteWord
  FileWriteByte $_PxLog $_PxScratch
  IntOp $_PxScratch $_PxScratch >> 8
  FileWriteByte $_PxLog $_PxScratch
  IntOp $_PxScratch $_PxScratch >> 8
  FileWriteByte $_PxLog $_PxScratch
  IntOp $_PxScratch $_PxScratch >> 8
  FileWriteByte $_PxLog $_PxScratch
!macroend

; Writes the count into the header and goes back to the end.
!macro _PxPatchCount
  FileSeek $_PxLog ${PX_LOG_COUNT_OFFSET} SET
  StrCpy $_PxScratch $_PxLogCount
  ${CallArtificialFunction} _PxWriteWord
  FileSeek $_PxLog $_PxLogEnd SET
  StrCpy $_PxUnpatched 0
!macroend

; The count on disk takes every whole entry, and the log is closed.
!macro _PxCloseLog
  ${If} $_PxLog != ""
    !insertmacro _PxPatchCount
    FileClose $_PxLog
    StrCpy $_PxLog ""
  ${EndIf}
!macroend

; A failure: what went wrong in $_PxMessage, what it concerns in $_PxWhat. Before the install stops, the
; log is closed with a count of every whole entry, so that it names exactly what was made; with
; PX_CONTINUE_ON_ERROR the count is brought up to date and the log stays open.
!macro _PxFail
  StrCpy $_PxFailed 1
  StrCpy $_PxMessage "$_PxMessage$\r$\n$\r$\n$_PxWhat"
  DetailPrint "$_PxMessage"
  !ifndef PX_CONTINUE_ON_ERROR
    !insertmacro _PxCloseLog
    MessageBox MB_OK|MB_ICONSTOP "$_PxMessage$\r$\n$\r$\n$(PxMsgStopped)" /SD IDOK
    SetErrorLevel 2
    Abort "$_PxMessage"
  !else
    ${If} $_PxLog != ""
      !insertmacro _PxPatchCount
    ${EndIf}
  !endif
  SetErrors
!macroend

!ifdef NSIS_UNICODE
; $_PxPath's length in bytes of the ANSI code page into $_PxLength, and PxMsgNotInCodePage in $_PxMessage
; unless converting it to that code page and back gives the same text: a character the code page has no
; byte for comes back as "?", one it maps to a look-alike ("A" for "Ā" under 1252) as that. The way back
; refuses invalid bytes (MB_ERR_INVALID_CHARS), which also holds under code page 65001, where
; WideCharToMultiByte takes no best-fit flags. The bytes lie in a buffer of the kit's own, made once.
; Room for the longest string in any code page: three bytes a character in UTF-8.
!define /math _PX_BUFFER_SIZE ${NSIS_MAX_STRLEN} * 3
!macro _PxMeasure
  Push $0
  Push $1
  ${If} $_PxBuffer == ""
    System::Alloc ${_PX_BUFFER_SIZE}
    Pop $_PxBuffer
  ${EndIf}
  StrCpy $0 "$_PxPath"
  System::Call "kernel32::WideCharToMultiByte(i 0, i 0, w r0, i -1, p $_PxBuffer, i ${_PX_BUFFER_SIZE}, \
      p 0, p 0) i .r1"
  IntOp $_PxLength $1 - 1
  System::Call "kernel32::MultiByteToWideChar(i 0, i 8, p $_PxBuffer, i -1, w .r0, i ${NSIS_MAX_STRLEN}) \
      i .r1"
  ${If} $1 = 0
  ${OrIf} $_PxLength < 0
  ${OrIf} $0 S!= "$_PxPath"
    StrCpy $_PxMessage "$(PxMsgNotInCodePage)"
    StrCpy $_PxWhat "$_PxPath"
  ${EndIf}
  Pop $1
  Pop $0
!macroend
!endif

; $_PxLength: the length of $_PxPath; "" in $_PxMessage when the uninstaller can hold that path. A Unicode
; build measures the path in bytes, except within PxPayload, whose paths PxLogOpen measured: there its
; length in characters, never more than its bytes, is enough.
!macro _PxCheckLength
  StrCpy $_PxMessage ""
  !ifdef NSIS_UNICODE
    ${If} $_PxChecked != 1
      ${CallArtificialFunction} _PxMeasure
    ${EndIf}
  !endif
  ${If} $_PxMessage != ""
  ${ElseIf} $_PxLength > ${PX_LONGEST_LOGGED_PATH}
    StrCpy $_PxMessage "$(PxMsgPathTooLong)"
    StrCpy $_PxWhat "$_PxPath"
  ${EndIf}
!macroend

; Appends the entry $_PxKind, $_PxPath ($_PxLength bytes). The count moves only once every byte of the
; entry is written: after a write that failed part-way (a full disk) the count still names only whole
; entries, and the broken one lies after them, where the uninstaller never reads. The count on disk
; is patched every 64 entries and when the log closes or the install stops: an install killed from
; outside leaves at most the last 64 entries and the item being made unlisted; every entry listed
; was made.
!macro _PxLogEntry
  ${If} $_PxLog == ""
    StrCpy $_PxMessage "$(PxMsgLogClosed)"
    StrCpy $_PxWhat "$_PxPath"
    ${CallArtificialFunction} _PxFail
  ${Else}
    ClearErrors
    !ifdef NSIS_UNICODE
      ; The path first, after room for the entry's head: what FileWrite made of it is its length.
      IntOp $_PxScratch $_PxLogEnd + ${PX_LOG_ENTRY_HEAD_SIZE}
      FileSeek $_PxLog $_PxScratch SET
      FileWrite $_PxLog $_PxPath
      FileSeek $_PxLog 0 CUR $_PxLength
      IntOp $_PxLength $_PxLength - $_PxLogEnd
      IntOp $_PxLength $_PxLength - ${PX_LOG_ENTRY_HEAD_SIZE}
      FileSeek $_PxLog $_PxLogEnd SET
    !endif
    StrCpy $_PxScratch $_PxKind
    ${CallArtificialFunction} _PxWriteWord
    StrCpy $_PxScratch $_PxLength
    ${CallArtificialFunction} _PxWriteWord
    !ifdef NSIS_UNICODE
      FileSeek $_PxLog $_PxLength CUR
    !else
      FileWrite $_PxLog $_PxPath
    !endif
    ${If} ${Errors}
      ; What the entry names goes again: it would be made and unlisted. The next entry would go after
      ; the broken bytes, so no entry goes into this log any more.
      ${If} $_PxKind = ${PX_ENTRY_KIND_FILE}
        Delete "$_PxPath"
      ${Else}
        RMDir "$_PxPath"
      ${EndIf}
      !insertmacro _PxCloseLog
      StrCpy $_PxMessage "$(PxMsgNoLog)"
      StrCpy $_PxWhat "$INSTDIR\${PX_LOG_FILE_NAME}"
      ${CallArtificialFunction} _PxFail
    ${Else}
      IntOp $_PxLogEnd $_PxLogEnd + ${PX_LOG_ENTRY_HEAD_SIZE}
      IntOp $_PxLogEnd $_PxLogEnd + $_PxLength
      IntOp $_PxLogCount $_PxLogCount + 1
      IntOp $_PxUnpatched $_PxUnpatched + 1
      ${If} $_PxUnpatched >= 64
        !insertmacro _PxPatchCount
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; $_PxScratch in: a folder; out: how many of its levels do not exist (0 when it exists). NSIS's
; GetFullPathName gives "x\.." only when that parent exists, so the walk climbs by "\.." until it names an
; existing folder. Windows resolves ".." on real separators, also where a Shift-JIS character ends in
; 0x5C; a scan for the last backslash byte would cut such a character in two.
!macro _PxMissingLevels
  Push $0
  Push $1
  StrCpy $0 "$_PxScratch"
  StrCpy $_PxScratch 0
  ${IfNot} ${FileExists} "$0\*.*"
    ${Do}
      IntOp $_PxScratch $_PxScratch + 1
      StrCpy $0 "$0\.."
      GetFullPathName $1 "$0"
      ${If} $1 != ""
      ${OrIf} $_PxScratch > ${PX_LONGEST_LOGGED_PATH}
        ${Break}
      ${EndIf}
    ${Loop}
  ${EndIf}
  Pop $1
  Pop $0
!macroend

; Makes the folder $_PxPath with its $_PxScratch missing levels, and logs each level parent first. Once
; made, each level exists, so GetFullPathName names every parent. The topmost level made becomes the
; fresh folder: nothing below it can have been there before the install.
!macro _PxMakeLevels
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $2 $_PxScratch
  StrCpy $3 "$_PxPath"
  CreateDirectory "$_PxPath"
  ${IfNot} ${FileExists} "$_PxPath\*.*"
    StrCpy $_PxMessage "$(PxMsgNoFolder)"
    StrCpy $_PxWhat "$_PxPath"
    ${CallArtificialFunction} _PxFail
  ${Else}
    StrCpy $0 "$_PxPath"
    StrCpy $1 $2
    ${DoWhile} $1 > 0
      Push "$0"
      IntOp $1 $1 - 1
      GetFullPathName $0 "$0\.."
    ${Loop}
    Pop $0
    StrCpy $1 "$0" $_PxFreshLength
    ${If} $_PxFresh == ""
    ${OrIf} $1 != $_PxFresh
      StrCpy $_PxFresh "$0\"
      StrLen $_PxFreshLength "$_PxFresh"
    ${EndIf}
    StrCpy $1 0
    Push $0
    ClearErrors
    ${DoWhile} $1 < $2
      Pop $_PxPath
      StrCpy $_PxKind ${PX_ENTRY_KIND_DIRECTORY}
      StrLen $_PxLength "$_PxPath"
      IntOp $1 $1 + 1
      ${CallArtificialFunction} _PxLogEntry
      ${If} ${Errors}
        ${Break}
      ${EndIf}
    ${Loop}
    ; After a failure the levels not logged are still on the stack; they go again, deepest first, so
    ; that nothing made is left unlisted (the one that failed went in _PxLogEntry).
    ${DoWhile} $1 < $2
      Pop $0
      IntOp $1 $1 + 1
    ${Loop}
    ${If} ${Errors}
      ${DoWhile} $3 != $_PxPath
        RMDir "$3"
        GetFullPathName $3 "$3\.."
      ${Loop}
      SetErrors
    ${EndIf}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
!macroend

; PxDir: the folder $_PxPath.
!macro _PxDir
  StrLen $_PxLength "$_PxPath"
  ${CallArtificialFunction} _PxCheckLength
  ${If} $_PxMessage != ""
    ${CallArtificialFunction} _PxFail
  ${Else}
    StrCpy $_PxScratch "$_PxPath"
    ${CallArtificialFunction} _PxMissingLevels
    ${If} $_PxScratch > 0
      ${CallArtificialFunction} _PxMakeLevels
    ${EndIf}
  ${EndIf}
!macroend

; Creates a folder with every missing level and logs each level it made, parent first; levels that
; already existed (the user's own folder, an earlier installation) are not logged.
!macro PxDir FOLDER
  !verbose push 3
  !insertmacro _PxEnter
  StrCpy $_PxPath "${FOLDER}"
  ${CallArtificialFunction} _PxDir
  !verbose pop
!macroend

; Before a file is written: whether it fits and was there before. A path below the fresh folder was not:
; that saves a look at the disk for every file of a new installation.
!macro _PxFileBefore
  StrLen $_PxLength "$_PxPath"
  ${CallArtificialFunction} _PxCheckLength
  ${If} $_PxMessage != ""
    ${CallArtificialFunction} _PxFail
  ${Else}
    StrCpy $_PxExisted 0
    StrCpy $_PxScratch "$_PxPath" $_PxFreshLength
    ${If} $_PxFresh == ""
    ${OrIf} $_PxScratch != $_PxFresh
      ${If} ${FileExists} "$_PxPath"
        StrCpy $_PxExisted 1
      ${EndIf}
    ${EndIf}
    ClearErrors
  ${EndIf}
!macroend

; After a file is written. NSIS's File sets the error flag when the file cannot be written (after the
; user chose Ignore, or at once in silent mode) and goes on; this reports it instead. A file that was
; there before is not logged: the installation did not make it, and on a reinstall the first log lists it.
!macro _PxFileAfter
  ${If} ${Errors}
    StrCpy $_PxMessage "$(PxMsgNoFile)"
    StrCpy $_PxWhat "$_PxPath"
    ${CallArtificialFunction} _PxFail
  ${ElseIf} $_PxExisted != 1
    StrCpy $_PxKind ${PX_ENTRY_KIND_FILE}
    ${CallArtificialFunction} _PxLogEntry
  ${EndIf}
!macroend

; Installs the local file SOURCE (read by makensis) as TARGET, a full path in a folder made before, and
; logs it after it is written.
!macro PxFile SOURCE TARGET
  !verbose push 3
  !insertmacro _PxEnter
  StrCpy $_PxPath "${TARGET}"
  ${CallArtificialFunction} _PxFileBefore
  ${IfNot} ${Errors}
    File "/oname=$_PxPath" "${SOURCE}"
    ${CallArtificialFunction} _PxFileAfter
  ${EndIf}
  !verbose pop
!macroend

; Reads a 32-bit little-endian number into $_PxScratch; sets the error flag at the end of the file.
!macro _PxReadNumber
  Push $0
  Push $1
  StrCpy $_PxScratch 0
  StrCpy $1 0
  ${Do}
    FileReadByte $_PxLog $0
    IntOp $0 $0 << $1
    IntOp $_PxScratch $_PxScratch | $0
    IntOp $1 $1 + 8
  ${LoopUntil} $1 = 32
  Pop $1
  Pop $0
!macroend

; Counts the sound entries of a log already in place into $_PxLogCount and $_PxLogEnd: kinds 0 and 1,
; lengths 1 to 259, every byte present. A log with another header counts as empty.
!macro _PxAdoptEntries
  Push $0
  Push $1
  Push $2
  Push $3
  FileSeek $_PxLog 0 END $3
  FileSeek $_PxLog 0 SET
  ClearErrors
  ${CallArtificialFunction} _PxReadNumber
  StrCpy $0 $_PxScratch
  ${CallArtificialFunction} _PxReadNumber
  StrCpy $1 $_PxScratch
  ${CallArtificialFunction} _PxReadNumber
  StrCpy $2 $_PxScratch
  ${If} ${Errors}
  ${OrIf} $0 <> ${PX_UNINSTALL_LOG_MAGIC}
  ${OrIf} $1 <> 0
    StrCpy $2 0
  ${EndIf}
  ${DoWhile} $_PxLogCount < $2
    ${CallArtificialFunction} _PxReadNumber
    StrCpy $0 $_PxScratch
    ${CallArtificialFunction} _PxReadNumber
    StrCpy $1 $_PxScratch
    ${If} ${Errors}
    ${OrIf} $0 U> ${PX_ENTRY_KIND_DIRECTORY}
    ${OrIf} $1 < 1
    ${OrIf} $1 > ${PX_LONGEST_LOGGED_PATH}
      ${Break}
    ${EndIf}
    IntOp $1 $1 + $_PxLogEnd
    IntOp $1 $1 + ${PX_LOG_ENTRY_HEAD_SIZE}
    ${If} $1 > $3
      ${Break}
    ${EndIf}
    StrCpy $_PxLogEnd $1
    IntOp $_PxLogCount $_PxLogCount + 1
    FileSeek $_PxLog $_PxLogEnd SET
  ${Loop}
  ClearErrors
  Pop $3
  Pop $2
  Pop $1
  Pop $0
!macroend

; The protection Program Files has, for the topmost folder this install made: Administrators and SYSTEM
; full control, Users read and execute, inherited by every folder and file below, and none inherited from
; the parent. A folder made elsewhere (C:\Plexitone) would otherwise inherit from the drive's root what
; Windows 7 on gives every signed-in user there, the right to change it: to rewrite the log, which the
; uninstaller then follows with an administrator's rights. FILE_ALL_ACCESS and FILE_GENERIC_READ |
; FILE_GENERIC_EXECUTE are spelled out, as an access check does not map generic rights in a stored ACE.
!define /ifndef _PX_PROTECTION "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"

; $_PxFresh: the topmost folder this install made. Only the NT line keeps rights, and only a volume with
; FS_PERSISTENT_ACLS (NTFS, not FAT) stores them; elsewhere nothing is done and nothing fails.
; SetNamedSecurityInfoA carries the inheritable entries down to the levels below and the log, which were
; made with what the old parent gave them.
!macro _PxProtectFolder
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  ${If} ${IsNT}
    StrCpy $0 "$_PxFresh" -1
    ; The volume of the folder; before Windows 2000 no GetVolumePathNameA, and the drive's root.
    System::Call "kernel32::GetVolumePathName(t r0, t .r1, i ${NSIS_MAX_STRLEN}) i .r2"
    ${If} $2 == "error"
    ${OrIf} $2 = 0
      StrCpy $1 "$0" 3
    ${EndIf}
    StrCpy $2 0
    System::Call "kernel32::GetVolumeInformation(t r1, p 0, i 0, p 0, p 0, *i .r2, p 0, i 0) i .r3"
    IntOp $2 $2 & 0x8
    ${If} $3 <> 0
    ${AndIf} $2 <> 0
      System::Call "advapi32::ConvertStringSecurityDescriptorToSecurityDescriptor(t '${_PX_PROTECTION}', \
          i 1, *p .r1, p 0) i .r3"
      StrCpy $4 1
      ${If} $3 == "error"
        ; Windows NT 4 has no such call: the folder keeps what it inherits, as on FAT.
        StrCpy $4 0
      ${ElseIf} $3 <> 0
        System::Call "advapi32::GetSecurityDescriptorDacl(p r1, *i .r2, *p .r3, *i .r5) i .r4"
        ; SE_FILE_OBJECT 1; DACL_SECURITY_INFORMATION 4 with PROTECTED_DACL_SECURITY_INFORMATION. Without
        ; a DACL the call would give everyone every right: never.
        ${If} $4 <> 0
        ${AndIf} $2 <> 0
        ${AndIf} $3 <> 0
          System::Call "advapi32::SetNamedSecurityInfo(t r0, i 1, i 0x80000004, p 0, p 0, p r3, p 0) i .r4"
        ${Else}
          StrCpy $4 1
        ${EndIf}
        System::Call "kernel32::LocalFree(p r1)"
      ${EndIf}
      ClearErrors
      ${If} $4 != 0
        StrCpy $_PxMessage "$(PxMsgNoProtection)"
        StrCpy $_PxWhat "$0"
        ${CallArtificialFunction} _PxFail
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
!macroend

; Opens the log in $INSTDIR after making the folder. An earlier log there (a reinstall, or an install that
; stopped half-way) is kept: the new entries go after its last sound entry, so the uninstaller still
; removes everything the first installation made. Anything else there is overwritten.
!macro _PxLogOpen
  Push $0
  StrCpy $_PxLog ""
  StrCpy $_PxFresh ""
  StrCpy $_PxFreshLength 0
  ; Nothing is made unless the deepest path fits, and, in a Unicode build, the code page holds each path
  ; of the payload whose bytes depend on it.
  StrCpy $_PxPath "$INSTDIR\${PX_DEEPEST}"
  StrLen $_PxLength "$_PxPath"
  ${CallArtificialFunction} _PxCheckLength
  !ifdef NSIS_UNICODE
    !ifmacrodef _PxPayloadNames
      !insertmacro _PxPayloadNames
    !endif
  !endif
  ${If} $_PxMessage != ""
    ${CallArtificialFunction} _PxFail
  ${Else}
    StrCpy $_PxScratch "$INSTDIR"
    ${CallArtificialFunction} _PxMissingLevels
    StrCpy $0 $_PxScratch
    ${If} $0 > 0
      CreateDirectory "$INSTDIR"
    ${EndIf}
    ; Now that it exists: the folder's full long name, as GetModuleFileNameA will give it to the
    ; uninstaller.
    GetFullPathName $_PxScratch "$INSTDIR"
    ${If} $_PxScratch != ""
      StrCpy $INSTDIR "$_PxScratch"
    ${EndIf}
    StrCpy $_PxLogCount 0
    StrCpy $_PxLogEnd ${PX_LOG_HEADER_SIZE}
    StrCpy $_PxUnpatched 0
    ClearErrors
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
      StrCpy $_PxMessage "$(PxMsgNoFolder)"
      StrCpy $_PxWhat "$INSTDIR"
      ${CallArtificialFunction} _PxFail
    ${Else}
      FileOpen $_PxLog "$INSTDIR\${PX_LOG_FILE_NAME}" a
    ${EndIf}
    ${If} ${Errors}
    ${AndIf} $_PxMessage == ""
      StrCpy $_PxLog ""
      StrCpy $_PxMessage "$(PxMsgNoLog)"
      StrCpy $_PxWhat "$INSTDIR\${PX_LOG_FILE_NAME}"
      ${CallArtificialFunction} _PxFail
    ${ElseIf} $_PxLog != ""
      ${CallArtificialFunction} _PxAdoptEntries
      ; The header: the magic, a second word of 0, the count.
      FileSeek $_PxLog 0 SET
      StrCpy $_PxScratch ${PX_UNINSTALL_LOG_MAGIC}
      ${CallArtificialFunction} _PxWriteWord
      StrCpy $_PxScratch 0
      ${CallArtificialFunction} _PxWriteWord
      !insertmacro _PxPatchCount
      ${If} ${Errors}
        StrCpy $_PxMessage "$(PxMsgNoLog)"
        StrCpy $_PxWhat "$INSTDIR\${PX_LOG_FILE_NAME}"
        ${CallArtificialFunction} _PxFail
      ${ElseIf} $0 > 0
        StrCpy $_PxPath "$INSTDIR"
        StrCpy $_PxScratch $0
        ${CallArtificialFunction} _PxMakeLevels
        !ifndef PX_NO_FOLDER_PROTECTION
          ${IfNot} ${Errors}
            ${CallArtificialFunction} _PxProtectFolder
          ${EndIf}
        !endif
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Pop $0
!macroend

!macro PxLogOpen
  !verbose push 3
  !insertmacro _PxEnter
  ${CallArtificialFunction} _PxLogOpen
  !verbose pop
!macroend

; The count on disk takes every entry written, and the log is closed.
!macro _PxLogClose
  ${If} $_PxLog != ""
    ClearErrors
    !insertmacro _PxCloseLog
    ${If} ${Errors}
      StrCpy $_PxMessage "$(PxMsgNoLog)"
      StrCpy $_PxWhat "$INSTDIR\${PX_LOG_FILE_NAME}"
      ${CallArtificialFunction} _PxFail
    ${EndIf}
  ${EndIf}
!macroend

!macro PxLogClose
  !verbose push 3
  !insertmacro _PxEnter
  ${CallArtificialFunction} _PxLogClose
  !verbose pop
!macroend

; $_PxPath: a path that the folder check measures; "" in $_PxMessage when it fits.
!macro _PxDeepestFits
  !insertmacro _PxEnter
  StrCpy $_PxPath "$INSTDIR\${PX_DEEPEST}"
  StrLen $_PxLength "$_PxPath"
  ${CallArtificialFunction} _PxCheckLength
!macroend

; For .onVerifyInstDir: Next stays greyed while the deepest path the payload makes would not fit.
!macro PxVerifyInstDir
  !verbose push 3
  !insertmacro _PxDeepestFits
  ${If} $_PxMessage != ""
    Abort
  ${EndIf}
  !verbose pop
!macroend

; For a folder page's leave function: says why the folder is refused and keeps the page.
!macro PxRefuseDeepInstDir
  !verbose push 3
  !insertmacro _PxDeepestFits
  ${If} $_PxMessage != ""
    MessageBox MB_OK|MB_ICONEXCLAMATION "$_PxMessage$\r$\n$\r$\n$_PxWhat" /SD IDOK
    Abort
  ${EndIf}
  !verbose pop
!macroend

; Puts the uninstaller into $INSTDIR. It is not logged, and neither is the log: a running program cannot
; delete its own file, so both stay, and with them the folder.
!macro PxPlaceUninstaller SOURCE
  !verbose push 3
  !insertmacro _PxEnter
  File "/oname=$INSTDIR\${PX_UNINSTALLER_FILE_NAME}" "${SOURCE}"
  ${If} ${Errors}
    StrCpy $_PxMessage "$(PxMsgNoUninstaller)"
    StrCpy $_PxWhat "$INSTDIR\${PX_UNINSTALLER_FILE_NAME}"
    ${CallArtificialFunction} _PxFail
  ${EndIf}
  !verbose pop
!macroend

!include "${__FILEDIR__}/pxunins_system.nsh"

!endif
!verbose pop
