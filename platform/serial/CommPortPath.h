#pragma once

#include <string>

// The device path of port "COMn": ports/COMn in the port folder when that entry
// exists (usually a symbolic link to a device), else COM1-10 -> /dev/ttyUSB0-9,
// COM11-20 -> /dev/ttyACM0-9, COM21-30 -> /dev/ttyS0-9. Empty when there is none.
std::string ResolveCommPortPath(int portNo, const std::string& portFolder);

// The folder of the running executable (from /proc/self/exe).
std::string ExecutableFolder();

// The folder whose ports/ sub-folder is searched: the executable's, unless a
// program (the board simulator's tests, for example) has chosen another one.
std::string CommPortFolder();
void SetCommPortFolder(const std::string& folder); // empty: the executable's again
