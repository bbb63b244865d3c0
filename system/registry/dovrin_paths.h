// The data and program folders of the kernel component Dovrin, kept in the
// key Software\Zor\Dovrin\2.0 of the current user and of the local machine.
//
//   std::string data;
//   if (GetDovrinDataPath(data)) ...      // the user's folder, else the machine's
//   SetDovrinDataPath("/srv/dovrin");      // both hives; true when either took it
#pragma once

#include <string>

// "ZOR_DOVRIN2_DATA" of the local machine; true when read.
bool GetDovrinDataPathMachine(std::string& path);
// "ZOR_DOVRIN2_DATA" of the current user, else of the local machine.
bool GetDovrinDataPath(std::string& path);
// "ZOR_DOVRIN2_PATH" of the current user, else of the local machine.
bool GetDovrinPath(std::string& path);
// Writes "ZOR_DOVRIN2_DATA" to the local machine, then to the current user;
// true when either write succeeded.
bool SetDovrinDataPath(const char* path);
