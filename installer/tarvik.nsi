; The Windows installer of Tarvik, built on Linux with makensis (see scripts/package):
;   makensis -DVERSION=1.02 -DWIN32_DIR=build/win32 -DWIN64_DIR=build/win64 -DOUT_DIR=build/package
;            installer/tarvik.nsi
; It installs the edition that fits the machine (64-bit on 64-bit Windows) into
; Program Files\Tarvik: Tarvik.exe, Tarvik.sfx, KZVContextMenu.dll, the console program
; tarvikc.exe and a short Russian readme (Readme.txt); writes the program's registry entries for that folder
; (the file type ".kzv", "Application" under HKLM\software\KZV, the context-menu handler) and an
; uninstaller with its entry among the installed programs. The uninstaller removes the same
; entries as "Очистка регистрации" and every file it installed, nothing else: the user's
; archives stay. Both run silently with /S.
; -DTARGET=amd64-unicode builds the same installer as a 64-bit program (for testing on a machine
; that runs no 32-bit programs); the one we ship is the 32-bit one, which runs on both kinds.
!ifdef TARGET
  Target ${TARGET}
!else
  Unicode true
!endif
!include "LogicLib.nsh"
!include "x64.nsh"

!ifndef VERSION
  !error "VERSION is not given (-DVERSION=...)"
!endif

!define CLSID "{4B7D21C6-93E0-4F5A-A1D8-3C6E90B2F417}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvik"

Name "Tarvik"
Caption "Установка Tarvik ${VERSION}"
OutFile "${OUT_DIR}\Tarvik-${VERSION}-setup.exe"
InstallDir "$PROGRAMFILES\Tarvik"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\Tarvik"
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "Tarvik"
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    File "${WIN64_DIR}\Tarvik.exe"
    File "${WIN64_DIR}\Tarvik.sfx"
    File "${WIN64_DIR}\KZVContextMenu.dll"
    File "${WIN64_DIR}\tarvikc.exe"
  ${Else}
    File "${WIN32_DIR}\Tarvik.exe"
    File "${WIN32_DIR}\Tarvik.sfx"
    File "${WIN32_DIR}\KZVContextMenu.dll"
    File "${WIN32_DIR}\tarvikc.exe"
  ${EndIf}
  File "/oname=Readme.txt" "${README}"

  ; Rows 1-5: the file type.
  WriteRegStr HKCR ".kzv" "" "Tarvik"
  WriteRegStr HKCR "Tarvik" "" "Архив Tarvik"
  WriteRegStr HKCR "Tarvik\DefaultIcon" "" "$INSTDIR\Tarvik.exe,0"
  WriteRegStr HKCR "Tarvik\Shell\open\command" "" '"$INSTDIR\Tarvik.exe"  "%1"'
  WriteRegStr HKCR "Tarvik\Shell\edit\command" "" '"$INSTDIR\Tarvik.exe"  "%1"'
  ; Row 6: where the program is.
  WriteRegStr HKLM "software\KZV" "Application" "$INSTDIR\Tarvik.exe"
  ; Rows 7-14: the context-menu handler.
  WriteRegStr HKCR "CLSID\${CLSID}\InprocServer32" "" "$INSTDIR\KZVContextMenu.dll"
  WriteRegStr HKCR "CLSID\${CLSID}\InprocServer32" "ThreadingModel" "Apartment"
  WriteRegStr HKLM "SOFTWARE\Classes\CLSID\${CLSID}\InprocServer32" "" "$INSTDIR\KZVContextMenu.dll"
  WriteRegStr HKLM "SOFTWARE\Classes\CLSID\${CLSID}\InprocServer32" "ThreadingModel" "Apartment"
  WriteRegStr HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved" "${CLSID}" "TARVIK Context Menu Shell Extension"
  WriteRegStr HKCR "*\shellex\ContextMenuHandlers\Tarvik" "" "${CLSID}"
  WriteRegStr HKCR "Folder\shellex\ContextMenuHandlers\Tarvik" "" "${CLSID}"
  WriteRegStr HKCR "Directory\shellex\ContextMenuHandlers\Tarvik" "" "${CLSID}"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarvik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tarvik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tarvik.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; What "Очистка регистрации" removes: the handler, the file type, the settings key.
  DeleteRegKey HKCR "CLSID\${CLSID}"
  DeleteRegKey HKLM "SOFTWARE\Classes\CLSID\${CLSID}"
  DeleteRegValue HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved" "${CLSID}"
  DeleteRegKey HKCR "*\shellex\ContextMenuHandlers\Tarvik"
  DeleteRegKey HKCR "Folder\shellex\ContextMenuHandlers\Tarvik"
  DeleteRegKey HKCR "Directory\shellex\ContextMenuHandlers\Tarvik"
  DeleteRegKey HKCR ".kzv"
  DeleteRegKey HKCR "Tarvik"
  DeleteRegKey HKLM "software\KZV"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The installed files only. The folder goes when nothing else is in it, so the user's own
  ; files (and a rollback journal a killed run left) stay.
  Delete "$INSTDIR\Tarvik.exe"
  Delete "$INSTDIR\Tarvik.sfx"
  Delete /REBOOTOK "$INSTDIR\KZVContextMenu.dll"
  Delete "$INSTDIR\tarvikc.exe"
  Delete "$INSTDIR\Readme.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
