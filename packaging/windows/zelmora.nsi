; The Windows installer: a per-user install (no administrator rights) into
; %LOCALAPPDATA%\Programs\Zelmora, laid out as the installed tree on Linux
; (bin\ with the programs, share\zelmora\ with the shipped data), so the
; programs keep each user's files in %APPDATA%\Zelmora, which the uninstaller
; leaves alone.
;
; Made by scripts/windows/package.sh, which defines VERSION, OUTFILE,
; SIZE_KB, FILES and UNFILES (the generated install and removal lists) and
; WINDOW when zelmora.exe is in the package.
Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh

!define APP_NAME "Zelmora天气预报"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zelmora"
!define SHORTCUT "$SMPROGRAMS\${APP_NAME}.lnk"
!ifdef WINDOW
  !define MAIN_EXE "zelmora.exe"
!else
  !define MAIN_EXE "zelmora-cli.exe"
!endif

Name "${APP_NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Zelmora"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${APP_NAME} ${VERSION}"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!ifdef WINDOW
  !define MUI_FINISHPAGE_RUN "$INSTDIR\bin\${MAIN_EXE}"
!endif
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Section
  SetShellVarContext current
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  SetOutPath "$INSTDIR\bin"
!ifdef WINDOW
  CreateShortCut "${SHORTCUT}" "$INSTDIR\bin\${MAIN_EXE}"
!else
  ; Until the window is in the package: this month's page in a console
  ; that stays open.
  CreateShortCut "${SHORTCUT}" "$SYSDIR\cmd.exe" '/k ""$INSTDIR\bin\${MAIN_EXE}" calendar"' "$INSTDIR\bin\${MAIN_EXE}"
!endif
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "Zelmora developers"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\bin\${MAIN_EXE}"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer put there: anything else in the folder (a file
; the user added) keeps it and the folders above it in place.
Section "Uninstall"
  SetShellVarContext current
  Delete "${SHORTCUT}"
  !include "${UNFILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd
