@echo off
rem The install command of a deployment package: run from the package's folder, elevated (as
rem SYSTEM or an administrator). It keeps the program in %windir%\QuilletSetup, a folder only
rem administrators may change that 32-bit and 64-bit hosts both see there, where detection and
rem remediation call it, and passes the program's exit code on.
setlocal
set "target=%windir%\QuilletSetup"
if not exist "%target%\" mkdir "%target%"
if not exist "%target%\" exit /b 1603
copy /y "%~dp0QuilletSetup.exe" "%target%\QuilletSetup.exe" >nul
if errorlevel 1 exit /b 1603
if not exist "%windir%\Logs\" mkdir "%windir%\Logs"
start "" /wait "%target%\QuilletSetup.exe" /quiet /log "%windir%\Logs\QuilletSetup.log"
exit /b %errorlevel%
