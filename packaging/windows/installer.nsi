; The Sorabi installer: per user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Sorabi. Made by the build (target
; sorabi-windows-setup), which defines VERSION, VENDOR, STAGE (the portable
; folder to install), ICON and OUTFILE. /S installs and uninstalls silently.

; The programs are 64-bit, so is the installer.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS all

!include "MUI2.nsh"

!define PRODUCT "Sorabi"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
; The line at the bottom of every page: the product, not NSIS and its version.
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\sorabi.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Sorabi を起動する"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "${VENDOR}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "${PRODUCT} ${VERSION} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "© ${VENDOR}"

; What the user's data is made of (settings, working copy, pages) is never
; here: an installed Sorabi keeps it in %USERPROFILE%\Sorabi.
Section "Sorabi 本体" SecMain
    SectionIn RO
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${STAGE}\sorabi.exe"
    File "${STAGE}\sorabi-batch.exe"
    File "${STAGE}\readme-ja.txt"
    SetOutPath "$INSTDIR\sample"
    File "${STAGE}\sample\products.csv"
    File "${STAGE}\sample\option.ini"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\sorabi.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sorabi.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "デスクトップにショートカットを作る" SecDesktop
    SetShellVarContext current
    CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\sorabi.exe"
SectionEnd

; Only what was installed goes; %USERPROFILE%\Sorabi stays.
Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$DESKTOP\${PRODUCT}.lnk"
    Delete "$INSTDIR\sorabi.exe"
    Delete "$INSTDIR\sorabi-batch.exe"
    Delete "$INSTDIR\readme-ja.txt"
    Delete "$INSTDIR\sample\products.csv"
    Delete "$INSTDIR\sample\option.ini"
    RMDir "$INSTDIR\sample"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
