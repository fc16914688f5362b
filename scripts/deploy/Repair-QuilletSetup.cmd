@echo off
rem Remediation: completes what is missing or incomplete and mends earlier versions' driver
rem paths, touching nothing anyone customised; the program's exit code is passed on.
start "" /wait "%windir%\QuilletSetup\QuilletSetup.exe" /repair /quiet /log "%windir%\Logs\QuilletSetup-repair.log"
exit /b %errorlevel%
