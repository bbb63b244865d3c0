// Opening files, folders, web addresses and programs the way the desktop
// shell's "open" does.
//
//   ProcessHandle p = ShellOpenHidden("%TOOLS%/collect", "/t \"my report.txt\"");
//   ShellOpen("/data/reports", "");     // shows the folder in the file manager
//   OpenMakerWebSite();
//
// A program (a name found in PATH, or a path to an executable file that is an
// ELF image or a "#!" script) is started
// with the parameter text split into arguments (SplitParameters); anything
// else (a document, a folder, a web address) goes to the desktop's opener,
// xdg-open, looked for in PATH, which gets no parameters. Nothing is run
// through a shell.
#pragma once

#include <string>

#include "system/process/process_handle.h"

// Opens `file` with `parameters`. An empty handle when nothing could be
// started (last error 2 for a missing file or no opener).
ProcessHandle ShellOpen(const std::string& file, const std::string& parameters);

// ShellOpen after %NAME% environment references in both texts are expanded.
// "Hidden" has no meaning without a display server: the same start.
ProcessHandle ShellOpenHidden(const std::string& file, const std::string& parameters);

// The maker's web site and issue tracker: deployment endpoints, taken from
// ZOR_MAKER_WEB_SITE and ZOR_ISSUE_TRACKER when those are set.
std::string MakerWebSiteAddress();
std::string IssueTrackerAddress();
// Open them in the desktop's web browser; a failure is not reported.
void OpenMakerWebSite();
void OpenIssueTracker();
