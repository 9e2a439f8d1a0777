; Tolvana's installer for Windows, made with NSIS on Linux (see
; installer/CMakeLists.txt). It installs for the current user only and needs
; no administrator:
;
;   %LOCALAPPDATA%\Programs\Tolvana   tolvana.exe, tolvana-cipher.exe, the
;                                     uninstaller (and tolvana.html when the
;                                     build has the web version)
;   Start menu                        the shortcut "Tolvana"
;   HKCU\Software\Classes             ".crp" opens with Tolvana
;   HKCU\...\Uninstall\Tolvana        the entry in "Installed apps"
;
; It runs with a wizard in Swedish, or silently with /S. Run again, it
; replaces the programs in place. Neither it nor the uninstaller ever touches
; the password files (%LOCALAPPDATA%\Tolvana, c:\numberone, c:\id) or a ".crp"
; file: the uninstaller removes the files it installed by name, and the
; folder only when nothing else is left in it.
;
; Neither replaces nor removes anything while Tolvana runs: tolvana.exe holds
; the mutex RUNNING_MUTEX (ui/platform/running.h) while it runs, and a running
; program's file cannot be opened for writing, which also finds a running
; tolvana-cipher.exe. With the wizard the user is asked to close Tolvana
; (Retry, Cancel); silently (/S) setup and uninstall end with status 2 and a
; line in %TEMP%\tolvana-setup.log, having changed nothing. (NSIS's
; uninstaller goes on in a copy of itself and returns at once; run it as
; uninstall.exe /S _?=FOLDER to wait for its status.)
;
; CONFIG names the build's settings: the version, the files and OUTFILE.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS Win10
SetCompressor /SOLID lzma
; No file times in the installer: the same programs make the same installer.
SetDateSave off

!include "${CONFIG}"
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvana"
!define CLASSES "Software\Classes"
!define PROGID "Tolvana.crp"
; SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, 0, 0): Explorer shows the
; new icon and command of ".crp" files at once.
!define NOTIFY_ASSOCIATIONS "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"
; The mutex that a running tolvana.exe holds.
!define RUNNING_MUTEX "Local\se.tolvana.Tolvana"
; Where a silent run says why it changed nothing.
!define LOG "$TEMP\tolvana-setup.log"
!define RUNNING_TEXT "Tolvana är igång. Avsluta Tolvana (och tolvana-cipher) och försök igen."

; A file that Windows would not let setup replace is never skipped.
AllowSkipFiles off

Name "Tolvana"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tolvana"
; An earlier install is replaced where it is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tolvana ${VERSION}"

; A signing build (installer/CMakeLists.txt) signs the uninstaller before it
; goes into the installer, and then the installer.
!ifdef SIGN
!uninstfinalize `${SIGN} "%1"` = 0
!finalize `${SIGN} "%1"` = 0
!endif

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; Modern UI's own welcome text speaks of closing other programs and updating
; system files, which a per-user install does not touch.
!define MUI_WELCOMEPAGE_TEXT "Guiden installerar Tolvana ${VERSION} för dig. Det behövs inga \
    administratörsrättigheter. Är Tolvana igång, avsluta det först.$\r$\n$\r$\n\
    Klicka på Nästa för att fortsätta."
!define MUI_FINISHPAGE_RUN "$INSTDIR\tolvana.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Swedish"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SWEDISH} "ProductName" "Tolvana"
VIAddVersionKey /LANG=${LANG_SWEDISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SWEDISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SWEDISH} "FileDescription" "Installationsprogram för Tolvana"
VIAddVersionKey /LANG=${LANG_SWEDISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SWEDISH} "LegalCopyright" "${COPYRIGHT}"

; Sets $R0 to 1 when Tolvana runs: its mutex exists, or one of its programs
; in $INSTDIR cannot be opened for writing (a running program's file cannot).
!macro FIND_RUNNING un
Function ${un}FindRunning
    StrCpy $R0 0
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r1'
    ${If} $1 != 0
        System::Call 'kernel32::CloseHandle(p r1)'
        StrCpy $R0 1
        Return
    ${EndIf}
    ${ForEach} $2 0 1 + 1
        ${If} $2 == 0
            StrCpy $3 "$INSTDIR\tolvana.exe"
        ${Else}
            StrCpy $3 "$INSTDIR\tolvana-cipher.exe"
        ${EndIf}
        ${If} ${FileExists} $3
            ClearErrors
            FileOpen $4 $3 a
            ${If} ${Errors}
                StrCpy $R0 1
                Return
            ${EndIf}
            FileClose $4
        ${EndIf}
    ${Next}
FunctionEnd

; Asks the user to close Tolvana until it no longer runs (Retry) or the user
; gives up (Cancel). Silently, or on Cancel, writes why to the log and ends
; with status 2, before anything has been changed.
Function ${un}WaitUntilNotRunning
    ${Do}
        Call ${un}FindRunning
        ${If} $R0 == 0
            Return
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${RUNNING_TEXT}" /SD IDCANCEL IDRETRY retry
        ${ExitDo}
        retry:
    ${Loop}
    FileOpen $4 "${LOG}" a
    FileSeek $4 0 END
    FileWrite $4 "$EXEFILE: ${RUNNING_TEXT} Inget har ändrats.$\r$\n"
    FileClose $4
    DetailPrint "${RUNNING_TEXT}"
    SetErrorLevel 2
    Quit
FunctionEnd
!macroend
!insertmacro FIND_RUNNING ""
!insertmacro FIND_RUNNING "un."

Section "Tolvana"
    Call WaitUntilNotRunning
    SetOutPath "$INSTDIR"
    File "/oname=tolvana.exe" "${PROGRAM}"
    File "/oname=tolvana-cipher.exe" "${CIPHER}"
!ifdef WEB_PAGE
    File "/oname=tolvana.html" "${WEB_PAGE}"
!endif
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The program starts in the user's documents, where its file dialogs
    ; then open, rather than among the program's own files.
    SetOutPath "$DOCUMENTS"
    CreateShortcut "$SMPROGRAMS\Tolvana.lnk" "$INSTDIR\tolvana.exe" "" \
        "$INSTDIR\tolvana.exe" 0 SW_SHOWNORMAL "" "${SUMMARY}"

    WriteRegStr HKCU "${CLASSES}\.crp" "" "${PROGID}"
    WriteRegStr HKCU "${CLASSES}\.crp\OpenWithProgids" "${PROGID}" ""
    WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "Krypterad text från Tolvana"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" "$INSTDIR\tolvana.exe,0"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\shell" "" "open"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open" "" "&Öppna"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\tolvana.exe" "%1"'
    System::Call "${NOTIFY_ASSOCIATIONS}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tolvana"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Comments" "${SUMMARY}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tolvana.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
    ; The size of what was installed, in KB.
    ${GetSize} "$INSTDIR" "/M=*.exe /S=0K" $0 $1 $2
!ifdef WEB_PAGE
    ${GetSize} "$INSTDIR" "/M=tolvana.html /S=0K" $3 $1 $2
    IntOp $0 $0 + $3
!endif
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
    Call un.WaitUntilNotRunning
    ; The programs first: while any of them stays, so do the uninstall entry
    ; and everything else, and the uninstall ends with status 2.
    ClearErrors
    Delete "$INSTDIR\tolvana.exe"
    Delete "$INSTDIR\tolvana-cipher.exe"
    ${If} ${FileExists} "$INSTDIR\tolvana.exe"
    ${OrIf} ${FileExists} "$INSTDIR\tolvana-cipher.exe"
        FileOpen $4 "${LOG}" a
        FileSeek $4 0 END
        FileWrite $4 "$EXEFILE: ${RUNNING_TEXT} Tolvana är inte avinstallerat.$\r$\n"
        FileClose $4
        MessageBox MB_OK|MB_ICONEXCLAMATION "${RUNNING_TEXT}" /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}

    ; ".crp" keeps any other program's settings; its default is removed only
    ; while it still names Tolvana.
    ReadRegStr $0 HKCU "${CLASSES}\.crp" ""
    ${If} $0 == "${PROGID}"
        DeleteRegValue HKCU "${CLASSES}\.crp" ""
    ${EndIf}
    DeleteRegValue HKCU "${CLASSES}\.crp\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKCU "${CLASSES}\.crp\OpenWithProgids"
    DeleteRegKey /ifempty HKCU "${CLASSES}\.crp"
    DeleteRegKey HKCU "${CLASSES}\${PROGID}"
    System::Call "${NOTIFY_ASSOCIATIONS}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"

    Delete "$SMPROGRAMS\Tolvana.lnk"
    ; Only the installed files, by name: the folder may hold the user's own.
    Delete "$INSTDIR\tolvana.html"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
