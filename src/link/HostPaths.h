// Where the program's Windows-style paths live on this machine.
#pragma once

#include <QString>

// ".\DATA2\B20040315.TXT" is "./DATA2/B20040315.TXT" under the working directory;
// "C:\CARD\DATA1\CDATA.TXT" is "CARD/DATA1/CDATA.TXT" under the user's home directory.
QString hostPath(const QString& windowsPath);

// Where the programs work — QRX.CFG, the COMn links, DATA1 and DATA2: the folder QRX_WORKDIR
// names, else "qrx" in the user's home directory.
QString defaultWorkDir();
