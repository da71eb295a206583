; Per-user installer of the desktop program: no administrator rights, into
; %LOCALAPPDATA%\Programs\yoxi, because the program writes lumora.config and
; logs\ beside its executable and the self-upgrade starts the next installer
; without elevation.
;
; makensis -DARCH=<x86|amd64> -DVERSION=<x.y.z> -DFILES=<list.nsh> -DICON=<cast.ico>
;          -DOUTFILE=<yoxi-setup.exe> yoxi.nsi
; FILES defines the macro YOXI_FILES, which calls the macro it is given once
; per shipped file with the file's folder (relative, "." for the top), its
; name and the path it is built at.

Unicode true
Target "${ARCH}-unicode"
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "LogicLib.nsh"
!include "MUI2.nsh"
!include "${FILES}"

!define PRODUCT_NAME "岚栖投屏"
!define PUBLISHER "岚栖无限"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\yoxi"
!define STAGING ".setup-new"
!define PREVIOUS ".setup-old"
; How long a silent install waits for a running copy of the program to end.
!define SILENT_WAIT_SECONDS 60

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\yoxi"
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\yoxi.exe"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT_NAME} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"

Var failed

; The program runs while its main window exists or while Windows holds its
; executable open (an ending process keeps it until the last thread is gone).
!macro IsProgramRunning RESULT
    StrCpy ${RESULT} 0
    FindWindow $R9 "" "${PRODUCT_NAME}"
    ${If} $R9 <> 0
        StrCpy ${RESULT} 1
    ${ElseIf} ${FileExists} "$INSTDIR\yoxi.exe"
        ClearErrors
        FileOpen $R9 "$INSTDIR\yoxi.exe" a
        ${If} ${Errors}
            StrCpy ${RESULT} 1
        ${Else}
            FileClose $R9
        ${EndIf}
    ${EndIf}
!macroend

; Waits for a running copy of the program to end: the upgrade starts this
; installer just before the program quits. Interactive installs ask the user
; to close it after a while; a silent install gives up with exit code 2.
Function WaitForProgramEnd
    StrCpy $0 0
    ${Do}
        !insertmacro IsProgramRunning $1
        ${If} $1 = 0
            Return
        ${EndIf}
        IntOp $0 $0 + 1
        ${If} $0 > ${SILENT_WAIT_SECONDS}
            ${If} ${Silent}
                SetErrorLevel 2
                Quit
            ${EndIf}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
                "${PRODUCT_NAME}正在运行，请先关闭${PRODUCT_NAME}，再点击“重试”。" IDRETRY retry
            SetErrorLevel 2
            Quit
        retry:
            StrCpy $0 0
        ${EndIf}
        Sleep 1000
    ${Loop}
FunctionEnd

!macro StageFile DIR NAME SOURCE
    SetOutPath "$INSTDIR\${STAGING}\${DIR}"
    File "/oname=${NAME}" "${SOURCE}"
!macroend

; Moves an installed file aside; its place must be free for the new one.
!macro SetAsideFile DIR NAME SOURCE
    ${If} $failed = 0
    ${AndIf} ${FileExists} "$INSTDIR\${DIR}\${NAME}"
        CreateDirectory "$INSTDIR\${PREVIOUS}\${DIR}"
        ClearErrors
        Rename "$INSTDIR\${DIR}\${NAME}" "$INSTDIR\${PREVIOUS}\${DIR}\${NAME}"
        ${If} ${Errors}
            StrCpy $failed 1
        ${EndIf}
    ${EndIf}
!macroend

!macro PutFileInPlace DIR NAME SOURCE
    ${If} $failed = 0
        CreateDirectory "$INSTDIR\${DIR}"
        ClearErrors
        Rename "$INSTDIR\${STAGING}\${DIR}\${NAME}" "$INSTDIR\${DIR}\${NAME}"
        ${If} ${Errors}
            StrCpy $failed 1
        ${EndIf}
    ${EndIf}
!macroend

; Undoes a replacement that failed half-way: new files that reached their
; place go, the set-aside ones come back.
!macro RestoreFile DIR NAME SOURCE
    ${IfNot} ${FileExists} "$INSTDIR\${STAGING}\${DIR}\${NAME}"
        Delete "$INSTDIR\${DIR}\${NAME}"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\${PREVIOUS}\${DIR}\${NAME}"
        Rename "$INSTDIR\${PREVIOUS}\${DIR}\${NAME}" "$INSTDIR\${DIR}\${NAME}"
    ${EndIf}
!macroend

!macro RemoveFile DIR NAME SOURCE
    Delete "$INSTDIR\${DIR}\${NAME}"
    RMDir "$INSTDIR\${DIR}"
!macroend

Section
    Call WaitForProgramEnd

    ; Every new file is unpacked beside the installed ones first, then the
    ; installed files are replaced by renames only, so that a failure leaves
    ; the previous version whole.
    RMDir /r "$INSTDIR\${STAGING}"
    RMDir /r "$INSTDIR\${PREVIOUS}"
    !insertmacro YOXI_FILES StageFile
    SetOutPath "$INSTDIR\${STAGING}"
    WriteUninstaller "$INSTDIR\${STAGING}\uninstall.exe"

    StrCpy $failed 0
    !insertmacro YOXI_FILES SetAsideFile
    !insertmacro SetAsideFile "." "uninstall.exe" ""
    !insertmacro YOXI_FILES PutFileInPlace
    !insertmacro PutFileInPlace "." "uninstall.exe" ""
    ${If} $failed <> 0
        !insertmacro YOXI_FILES RestoreFile
        !insertmacro RestoreFile "." "uninstall.exe" ""
        SetOutPath "$TEMP"
        RMDir /r "$INSTDIR\${STAGING}"
        RMDir /r "$INSTDIR\${PREVIOUS}"
        SetErrorLevel 3
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT_NAME}的文件无法替换，安装未完成，原有版本保持不变。" /SD IDOK
        Quit
    ${EndIf}
    SetOutPath "$INSTDIR"
    RMDir /r "$INSTDIR\${STAGING}"
    RMDir /r "$INSTDIR\${PREVIOUS}"

    ; The user's settings (agreement accepted, picture option) survive an
    ; upgrade; only the installed version is brought up to date.
    ${IfNot} ${FileExists} "$INSTDIR\lumora.config"
        FileOpen $0 "$INSTDIR\lumora.config" w
        FileWrite $0 "[config]$\r$\n"
        FileClose $0
    ${EndIf}
    WriteINIStr "$INSTDIR\lumora.config" "config" "versionCode" "${VERSION}"

    CreateShortCut "$SMPROGRAMS\${PRODUCT_NAME}.lnk" "$INSTDIR\yoxi.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\yoxi.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
    !insertmacro IsProgramRunning $1
    ${If} $1 <> 0
        MessageBox MB_OK|MB_ICONEXCLAMATION "${PRODUCT_NAME}正在运行，请先关闭${PRODUCT_NAME}。" /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
FunctionEnd

; Removes what the installer put there and what the program wrote beside
; itself (its settings and its daily logs); anything else in the folder stays.
Section "Uninstall"
    !insertmacro YOXI_FILES RemoveFile
    Delete "$INSTDIR\lumora.config"
    Delete "$INSTDIR\logs\log-*.log"
    RMDir "$INSTDIR\logs"
    Delete "$INSTDIR\uninstall.exe"
    SetOutPath "$TEMP"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
