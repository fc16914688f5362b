@echo off
rem Detection for tools that run a command: exit code 0 when every data source is there, 1 when
rem something is to do (remediate), 1603 when the registry could not be read.
if not exist "%windir%\QuilletSetup\QuilletSetup.exe" exit /b 1
start "" /wait "%windir%\QuilletSetup\QuilletSetup.exe" /check /quiet
exit /b %errorlevel%
