// The busy cursor shown while a database file is rewritten.
//
//   {
//     WaitCursor busy;   // the cursor turns busy
//     ...                // long file work
//   }                    // and back, also when an exception leaves the scope
//
// No window draws a cursor on Linux, so the guard does nothing; it marks the
// stretches a user would wait through and ends them on every path, so a
// front end that shows progress can hook in here.
#pragma once

class WaitCursor {
 public:
  // User-provided, so a guard that is only declared counts as used.
  WaitCursor() noexcept {}
  ~WaitCursor() {}
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};
