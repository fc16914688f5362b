@echo off
rem The install command of a deployment package: run from the package's folder, elevated (as
rem SYSTEM or an administrator). It runs the package's own copy of the program, which makes
rem %windir%\QuilletSetup where it is missing, for SYSTEM and the Administrators alone, and ends
rem 1603 where a standard user could have changed that folder or the program in it. Only when that
rem run ended 0 is the program kept there, where detection and remediation call it; the copy kept
rem there then registers the scheduled task that keeps the data sources current (the task runs
rem that copy); a copy held open stays as it was, and registers nothing. The first failing exit
rem code is passed on.
setlocal
set "target=%windir%\QuilletSetup"
set "log=%windir%\Logs\QuilletSetup.log"
if not exist "%windir%\Logs\" mkdir "%windir%\Logs"
start "" /wait "%~dp0QuilletSetup.exe" /quiet /log "%log%"
set "code=%errorlevel%"
if not "%code%"=="0" exit /b %code%
copy /y "%~dp0QuilletSetup.exe" "%target%\QuilletSetup.exe" >nul 2>&1
if errorlevel 1 (
  echo %target%\QuilletSetup.exe is held open by another program: it stays as it was
  exit /b %code%
)
start "" /wait "%target%\QuilletSetup.exe" /quiet /schedule /log "%log%"
if "%code%"=="0" set "code=%errorlevel%"
exit /b %code%
