// Starts a program as a child process with its standard output and standard
// error on a pipe, and hands what it writes to a window as messages.
//
//   class OutputPane : public IRedirecterWindow {
//     intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
//       if (message == kRedirecterOutputMessage)
//         Append(std::string(reinterpret_cast<const char*>(lParam), wParam));
//       else if (message == kRedirecterEndedMessage)
//         ShowExitCode(static_cast<uint32_t>(lParam));
//       return 0;
//     }
//   };
//   OutputPane pane;                                   // must outlive `run`
//   CZORRedirecter run;
//   run.SetApplication("/usr/bin/gzip");
//   run.SetCommandLine("gzip -v \"my file.dat\"");    // Windows quoting rules
//   if (!run.Start(&pane)) ...
//   run.CloseInput();                                  // the child sees end of input
//   run.WaitForEnd(-1);
//
// The command line is split into arguments by the Windows rules (blanks
// separate, double quotes group, backslashes escape only before a quote); its
// first word becomes the child's argv[0] and names the program when no
// application is set (searched in PATH).
//
// One thread of the redirecter's own (its I/O thread) alone reads the
// child's output, writes its input and closes both, and sends the messages:
// output blocks of at most 4,096 bytes in order, then one ended message after
// the last block. The public calls hand their work to it and wait for it
// within their time-outs, so input written on another thread waits while the
// window handles a message (a window that waits there for a thread writing
// without a time limit waits for ever). The window must outlive the redirecter (or the
// child's end). It may call Terminate, WriteInput, CloseInput and WaitForEnd
// from inside SendMessage but must not destroy the redirecter there. Input
// written from inside SendMessage never waits for the child: what the child
// cannot take at once is queued and written as it reads (its output is
// drained meanwhile) until it ends or closes its input, even when it has
// closed its output; a CloseInput, there or on any thread, closes the input
// once the queue is written. A new Start succeeds once WaitForEnd is true.
//
// Every call may come from any thread, except the settings (SetApplication,
// SetCommandLine, SetWorkingDirectory), which must not run beside a Start.
// Destroying the redirecter while another thread is still inside one of its
// calls is the caller's error, as for the standard library's objects; the
// destructor still ends a WriteInput or WaitForEnd waiting on another thread
// and waits until it has returned before anything is freed.
//
// Linux in place of the Windows calls:
//   pipes: pipe2(O_CLOEXEC), so the child inherits only its standard handles;
//   process creation: posix_spawn with file actions (dup2, chdir);
//   the detached-process flag: the child leads a process group of its own;
//   terminating with exit code 0: SIGKILL to that process group and to the
//     child, reported as 0;
//   waiting for the process: a pidfd (Linux 5.4 and later; without one the
//     Start fails, the child killed and reaped) watched by the I/O thread,
//     then waited for through the pidfd, so the child is always reaped (one
//     reaped by someone else, SIGCHLD being ignored or a handler waiting for
//     any child, ends with 0xFFFFFFFF);
//   after Start the child is signalled and waited for through its pidfd
//     only, never by its id, which another process may have taken once
//     someone else reaped the child (before Linux 6.9, which signals a
//     process group through a pidfd, the group is signalled by its id right
//     after the pidfd showed the child still running);
//   a child that stops reading its input: SIGPIPE stays blocked on the I/O
//     thread, so the write fails (EPIPE) and the program goes on;
//   an exit by signal is reported as 128 + the signal number, as shells do.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

// A block of the child's output: wParam the byte count, lParam a pointer to
// the bytes (followed by a zero), valid during the call only.
inline constexpr uint32_t kRedirecterOutputMessage = 0x2401;
// The child has ended: wParam 0, lParam the exit code (unsigned 32-bit).
inline constexpr uint32_t kRedirecterEndedMessage = 0x2402;
// The ended message's exit code when the window ran out of memory: its
// SendMessage threw std::bad_alloc for a block of output. The redirecter ends
// the child then (as Terminate does) and drops the rest of its output; the
// program goes on, and a new Start may follow.
inline constexpr uint32_t kRedirecterOutOfMemory = 0xFFFFFFFEu;

// The receiver of the redirecter's messages.
class IRedirecterWindow {
 public:
  virtual ~IRedirecterWindow() = default;
  virtual intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

class CZORRedirecter {
 public:
  CZORRedirecter() = default;
  // Kills a still-running child's process group, ends the calls waiting on
  // other threads, waits for them and for the I/O thread (the window still
  // gets the ended message) and closes every pipe end.
  virtual ~CZORRedirecter();
  CZORRedirecter(const CZORRedirecter&) = delete;
  CZORRedirecter& operator=(const CZORRedirecter&) = delete;

  // Stores the path only when the file exists; false keeps the old value.
  bool SetApplication(const std::string& path);
  bool SetCommandLine(const std::string& commandLine);
  // Stores the path only when it names an existing folder.
  bool SetWorkingDirectory(const std::string& path);

  // Creates the pipes and starts the child. The I/O thread always runs, so
  // the output is drained and the child reaped; only with a window are
  // messages sent. False when anything fails, descriptors running out
  // included (nothing is left running or open), or while a child started
  // earlier is still running or another Start is under way.
  bool Start(IRedirecterWindow* window);
  // Ends the child (reported with exit code 0) unless it has already ended.
  // Always true.
  bool Terminate();
  // Creates the two pipes alone, closing any earlier ones; false while a
  // child is running (or being started).
  bool CreatePipes();

  // Writes to the child's standard input, waiting at most timeoutMs
  // (-1: without limit) for the child to take the bytes. Returns how many
  // were written (fewer on time-out), or -1 when none could be: the input is
  // closed, the child no longer reads it or has ended, or no child was
  // started. From inside SendMessage the call returns at once: with the whole
  // size once the rest is queued, and after the child's end with what it took.
  int64_t WriteInput(const void* data, std::size_t size, int timeoutMs);
  // Closes the child's standard input so that it reads end of file; a
  // WriteInput waiting on another thread returns at once with what it wrote.
  void CloseInput();

  // Waits at most timeoutMs (-1: without limit) until the child has ended,
  // its output has been delivered and its ended message sent. True when no
  // child is running. From inside SendMessage it answers at once (false):
  // the end comes only after the message returns.
  bool WaitForEnd(int timeoutMs);
  // The child's process id; 0 once it has ended and been reaped.
  pid_t GetProcessId() const;

 private:
  struct Write;  // a WriteInput of another thread, waiting for the I/O thread
  class Call;    // counts a call that may wait, for the destructor
  enum class State { kIdle, kStarting, kRunning };

  // kIdle -> kStarting, with the last run's thread joined and its pipes closed.
  bool Claim();
  bool MakePipes();  // both pipes, or none left open
  bool Spawn(pid_t& pid);
  void Run();  // the I/O thread
  // Sends a block (with room for a zero after it); false when the window ran
  // out of memory (threw std::bad_alloc).
  bool Deliver(char* bytes, std::size_t count);
  // The I/O thread's part, under m_mutex: writes what the child takes now,
  // the window's queue first, then the waiting writers in order; closes the
  // input when asked and the queue is written. True while bytes wait for room.
  bool ServeInputLocked();
  void DropInputLocked();  // closes the input; waiting writers get their counts
  // Every waiting writer returns with its count; -1 for none written when
  // `failed` (the child no longer reads).
  void FinishWritersLocked(bool failed);
  void WakeLocked();  // the I/O thread looks at its work again
  int64_t WriteFromWindowLocked(const char* bytes, std::size_t size);
  void KillChildLocked();
  void ClosePipes();

  std::string m_application;
  std::string m_commandLine;
  std::string m_workingFolder;

  // Made by CreatePipes. Once Start has handed the child its ends, the input's
  // write end and the output's read end are the I/O thread's alone.
  int m_inputRead = -1;
  int m_inputWrite = -1;
  int m_outputRead = -1;
  int m_outputWrite = -1;
  int m_childEnded = -1;  // pidfd of the child: readable once it has ended
  int m_wake = -1;        // eventfd: work for the I/O thread; written under m_mutex
  std::thread m_io;
  IRedirecterWindow* m_window = nullptr;

  mutable std::mutex m_mutex;  // guards what follows
  std::condition_variable m_changed;
  State m_state = State::kIdle;
  // The child not yet reaped, its group id too; 0 once a running child has
  // ended, so the input takes nothing more.
  pid_t m_pid = 0;
  bool m_terminated = false;   // Terminate killed the child
  bool m_closeInput = false;   // CloseInput asked; done once the queue is written
  bool m_delivering = false;   // the I/O thread is inside SendMessage
  bool m_destroying = false;
  int m_calls = 0;             // calls that may wait, in progress
  std::string m_queued;        // input written from inside SendMessage
  std::deque<Write*> m_writers;  // waiting WriteInput calls of other threads
};
