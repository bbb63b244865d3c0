// A report for support: what the system can tell about its display devices,
// its hardware and its software, joined into one file in a folder.
//
//   if (WriteSystemReport(GetLocalAppDataFolder(true)))
//     ...;  // <folder>/SystemReport.txt, and the folder shown in the file manager
//
// Linux has neither of the two Windows report tools: the display report
// (dxdiagReport.txt, 8-bit text) is written from /sys/class/drm and /proc/fb,
// the system information report (msinfoReport.txt, UTF-16 with a byte-order
// mark, as that tool writes it) from /etc/os-release and /proc. A report with
// nothing to tell is not written, and the joined file says NOT FOUND for it.
// The files are made, cut and removed as the user running the program, also
// in a set-user-id or set-group-id program: nothing where the user could not.
// Only regular files are written and read, and no pipe is waited for: a
// pipe, device or symbolic link in SystemReport.txt's place gives 0 (a link's
// target is never written), in a report's place (one that cannot be
// removed) COULD NOT BE READ, and a source that is not a regular file is
// left out. A file another process holds a lease on is waited for as long
// as the kernel lets the holder keep it. The two reports are made as new
// files and read back through the descriptors they were written with, never
// by name: what someone puts in a report's place meanwhile (a link to a
// private file) is never joined. A report is read straight from its
// file, the system information report up to 1,000,000,000 bytes, and the
// display report only while SystemReport.txt takes it: once that file can
// take nothing more (a full disk), nothing more is read.
#pragma once

#include <cstdint>
#include <string>

using BOOL = int32_t;

// Where the facts come from; tests point these at folders of their own.
struct SystemReportSources {
  std::string procFolder = "/proc";
  std::string sysFolder = "/sys";
  std::string etcFolder = "/etc";
};

// Writes the two reports and SystemReport.txt, which joins them, into
// `folder` and shows the folder (ShellOpen). 1 when SystemReport.txt was
// written in full, else 0.
BOOL WriteSystemReport(const std::string& folder);
BOOL WriteSystemReport(const std::string& folder, const SystemReportSources& sources);
