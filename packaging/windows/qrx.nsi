; The setup program qrx-setup-<version>.exe: installs the folder `cmake --install` made (STAGE)
; into Program Files, or the folder given with /D=; /S installs without a window.
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.1 -DSTAGE=<folder> -DOUTFILE=<setup.exe> qrx.nsi
;
; The programs work in C:\QRX (QRX.CFG, DATA1\TDATA.TXT, DATA2\), the shortcuts' working folder,
; which every user of the PC may write; the download files are read from C:\CARD\DATA1. The
; uninstaller takes the programs and shortcuts away and leaves both data folders as they are.
; A 64-bit setup for the 64-bit programs (it does not start on a 32-bit Windows).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!define PRODUCT "qrx"
!define CAPTION "근태관리"
!define WORKDIR "C:\QRX"
!define CARDDIR "C:\CARD\DATA1"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\qrx"

Name "${CAPTION} (qrx ${VERSION})"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\qrx"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "qrx ${VERSION}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\qrx.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\docs\guide-ko.html"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the default; the welcome page offers the other one on a Windows in it.
!insertmacro MUI_LANGUAGE "Korean"
!insertmacro MUI_LANGUAGE "English"

LangString GuideName ${LANG_KOREAN} "근태관리 사용설명서"
LangString GuideName ${LANG_ENGLISH} "근태관리 user guide (Korean)"
LangString CollectorName ${LANG_KOREAN} "수집 서비스 설치 (qrx-collect)"
LangString CollectorName ${LANG_ENGLISH} "Install the collector service (qrx-collect)"

Section "qrx" SecMain
    SectionIn RO
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The work folder and its data folders, writable by the PC's users (S-1-5-32-545), so that
    ; the clerk's account keeps its settings and files there without administrator rights.
    CreateDirectory "${WORKDIR}\DATA1"
    CreateDirectory "${WORKDIR}\DATA2"
    CreateDirectory "${CARDDIR}"
    nsExec::ExecToLog 'icacls "${WORKDIR}" /grant *S-1-5-32-545:(OI)(CI)M'
    Pop $0
    nsExec::ExecToLog 'icacls "C:\CARD" /grant *S-1-5-32-545:(OI)(CI)M'
    Pop $0

    ; A shortcut's working folder is the output path when it is made.
    SetOutPath "${WORKDIR}"
    CreateDirectory "$SMPROGRAMS\${CAPTION}"
    CreateShortCut "$SMPROGRAMS\${CAPTION}\${CAPTION}.lnk" "$INSTDIR\qrx.exe" "" "$INSTDIR\qrx.exe" 0
    CreateShortCut "$SMPROGRAMS\${CAPTION}\$(GuideName).lnk" "$INSTDIR\docs\guide-ko.html"
    CreateShortCut "$DESKTOP\${CAPTION}.lnk" "$INSTDIR\qrx.exe" "" "$INSTDIR\qrx.exe" 0

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${CAPTION} (qrx)"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "qrx"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\qrx.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Off unless chosen: the service collects around the clock in C:\QRX once the line is set.
Section /o "$(CollectorName)" SecCollector
    nsExec::ExecToLog '"$INSTDIR\qrx-collect.exe" --install-service --workdir "${WORKDIR}"'
    Pop $0
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    ; A collector service would hold its program open.
    nsExec::ExecToLog '"$INSTDIR\qrx-collect.exe" --remove-service'
    Pop $0
    Delete "$DESKTOP\${CAPTION}.lnk"
    RMDir /r "$SMPROGRAMS\${CAPTION}"
    ; The install folder holds only what setup put there; C:\QRX and C:\CARD stay.
    SetOutPath "$TEMP"
    RMDir /r "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
