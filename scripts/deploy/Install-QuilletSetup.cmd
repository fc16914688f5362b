@echo off
rem The install command of a deployment package: run from the package's folder, elevated (as
rem SYSTEM or an administrator). It runs the package's own copy of the program, which makes
rem %windir%\QuilletSetup where it is missing, for SYSTEM and the Administrators alone, and then
rem keeps the program there, where detection and remediation call it; a folder that others may
rem write in too (the run's log says so) is said and gets no program. The copy kept there then
rem registers the scheduled task that keeps the data sources current (the task runs that copy);
rem a copy held open stays as it was, and registers nothing. The first failing exit code is passed
rem on.
setlocal
set "target=%windir%\QuilletSetup"
set "log=%windir%\Logs\QuilletSetup.log"
if not exist "%windir%\Logs\" mkdir "%windir%\Logs"
start "" /wait "%~dp0QuilletSetup.exe" /quiet /log "%log%"
set "code=%errorlevel%"
set "unsafe="
for /f "delims=" %%w in ('findstr /i /b /c:"warning: the run lock's folder %target%" "%log%"') do (
  echo %%w
  set "unsafe=1"
)
if defined unsafe (
  echo The program is not kept in %target% until only SYSTEM and the Administrators may write there.
  exit /b 1603
)
copy /y "%~dp0QuilletSetup.exe" "%target%\QuilletSetup.exe" >nul 2>&1
if errorlevel 1 (
  echo %target%\QuilletSetup.exe is held open by another program: it stays as it was
  exit /b %code%
)
start "" /wait "%target%\QuilletSetup.exe" /quiet /schedule /log "%log%"
if "%code%"=="0" set "code=%errorlevel%"
exit /b %code%
