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
// The messages come synchronously on the redirecter's own threads: output
// blocks of at most 4,096 bytes in order, then one ended message after the
// last block. The window must outlive the redirecter (or the child's end).
// It may call Terminate, WriteInput, CloseInput and WaitForEnd from inside SendMessage
// but must not destroy the redirecter there. Input written from inside
// SendMessage never waits for the child: what the child cannot take at once
// is queued and written as it reads (its output is drained meanwhile) until
// it ends or closes its input, even when it has closed its output; a
// CloseInput, there or on any thread, closes the input once the queue is
// written. A new Start succeeds once WaitForEnd is true.
//
// Linux in place of the Windows calls:
//   pipes: pipe2(O_CLOEXEC), so the child inherits only its standard handles;
//   process creation: posix_spawn with file actions (dup2, chdir);
//   the detached-process flag: the child leads a process group of its own;
//   terminating with exit code 0: SIGKILL to that process group, reported as 0;
//   waiting for the process: waitid/waitpid, so the child is always reaped;
//   an exit by signal is reported as 128 + the signal number, as shells do.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// A block of the child's output: wParam the byte count, lParam a pointer to
// the bytes (followed by a zero), valid during the call only.
inline constexpr uint32_t kRedirecterOutputMessage = 0x2401;
// The child has ended: wParam 0, lParam the exit code (unsigned 32-bit).
inline constexpr uint32_t kRedirecterEndedMessage = 0x2402;

// The receiver of the redirecter's messages.
class IRedirecterWindow {
 public:
  virtual ~IRedirecterWindow() = default;
  virtual intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

class CZORRedirecter {
 public:
  CZORRedirecter() = default;
  // Kills a still-running child's process group, waits for the threads (the
  // window still gets the ended message) and closes every pipe end.
  virtual ~CZORRedirecter();
  CZORRedirecter(const CZORRedirecter&) = delete;
  CZORRedirecter& operator=(const CZORRedirecter&) = delete;

  // Stores the path only when the file exists; false keeps the old value.
  bool SetApplication(const std::string& path);
  bool SetCommandLine(const std::string& commandLine);
  // Stores the path only when it names an existing folder.
  bool SetWorkingDirectory(const std::string& path);

  // Creates the pipes and starts the child. Reader and waiter threads always
  // run, so the output is drained and the child reaped; only with a window
  // are messages sent. False when anything fails (nothing is left running)
  // or while a child started earlier is still running.
  bool Start(IRedirecterWindow* window);
  // Ends the child (reported with exit code 0) unless it has already ended.
  // Always true.
  bool Terminate();
  // Creates the two pipes alone, closing any earlier ones; false while a
  // child is running.
  bool CreatePipes();

  // Writes to the child's standard input, waiting at most timeoutMs
  // (-1: without limit) for the child to take the bytes. Returns how many
  // were written (fewer on time-out), or -1 when none could be: the input is
  // closed, the child no longer reads it, or no child was started. From
  // inside SendMessage the call returns at once: with the whole size once
  // the rest is queued, and after the child's end with what it took.
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
  void ReaderThread();
  void WaiterThread();
  void Deliver(const char* bytes, std::size_t count);
  // WriteInput on the redirecter's own threads (inside SendMessage).
  int64_t WriteInputWithoutWaiting(const char* bytes, std::size_t size);
  // Writes what the child takes of the queued input now; closes the input
  // when the queue is empty and a close was asked for. False when the child
  // no longer reads (the queue is dropped). The caller holds m_inputMutex.
  bool FlushPendingLocked();
  // Writes the queue, then as much of `bytes` as the child takes now (none
  // while a queue is left); the count taken, or -1 when the child no longer
  // reads, with `brokenPipe` set when that raised SIGPIPE. The caller holds
  // m_inputMutex.
  int64_t WriteNowLocked(const char* bytes, std::size_t size, bool& brokenPipe);
  // Closes the input and drops its queue; the caller holds m_inputMutex.
  // While another thread polls the input, its close waits for the last
  // poller, woken by m_wakeInput, so the number is never reused under a poll.
  void DropInputLocked();
  // Around a poll of m_inputWrite without m_inputMutex (held on each call);
  // Enter gives the descriptor that becomes readable when the input closes
  // (-1 when none could be made).
  int EnterInputPollLocked();
  void LeaveInputPollLocked();
  // Tells the reader that the child has ended: drain the pipe and stop.
  void WakeReader();
  // Kills the group if the child is still held; the caller holds m_mutex.
  void KillChildLocked();
  // Owner-side clean-up after the threads are gone.
  void JoinThreads();
  void ClosePipes();

  std::string m_application;
  std::string m_commandLine;
  std::string m_workingFolder;

  int m_inputRead = -1;    // the child's standard input; closed after the start
  int m_inputWrite = -1;   // guarded by m_inputMutex
  int m_outputRead = -1;   // read by the reader thread
  int m_outputWrite = -1;  // the child's output and error; closed after the start
  int m_wakeReader = -1;   // eventfd: the child has ended, drain and stop

  std::thread m_reader;  // joined by the waiter thread
  std::thread m_waiter;  // joined by the owner
  IRedirecterWindow* m_window = nullptr;

  mutable std::mutex m_mutex;  // guards what follows
  std::condition_variable m_ended;
  pid_t m_pid = 0;            // not yet reaped; its group id too
  bool m_terminated = false;  // Terminate killed the child
  bool m_running = false;     // from a successful Start to the waiter's clean-up

  // Guards m_inputWrite and what follows; never held while waiting, so the
  // reader thread can always take it.
  std::mutex m_inputMutex;
  std::string m_pending;            // input queued from inside SendMessage
  bool m_closeAfterPending = false;  // CloseInput waits for the queue
  int m_inputPollers = 0;            // threads polling the input without the lock
  int m_inputClosed = -1;            // a closed input still polled: the last poller closes it
  int m_wakeInput = -1;              // eventfd, readable once the input is closed
  std::condition_variable m_inputIdle;  // m_inputPollers fell to 0
  // One writing thread at a time waits for the child (never the reader).
  std::mutex m_writerMutex;
};
