// Where the program's Windows-style paths live on this machine (HostPathsPosix.cpp on Linux,
// HostPathsWin32.cpp on Windows).
#pragma once

#include <QString>

// On Linux ".\DATA2\B20040315.TXT" is "./DATA2/B20040315.TXT" under the working directory and
// "C:\CARD\DATA1\CDATA.TXT" is "CARD/DATA1/CDATA.TXT" under the user's home directory; on
// Windows both are what they say ("DATA2/B20040315.TXT", "C:/CARD/DATA1/CDATA.TXT").
QString hostPath(const QString& windowsPath);

// Where the programs work — QRX.CFG, DATA1 and DATA2 (and on Linux the COMn links): the folder
// QRX_WORKDIR names, else on Linux "qrx" in the user's home directory, on Windows the folder the
// program was started in (its shortcut's working folder).
QString defaultWorkDir();
