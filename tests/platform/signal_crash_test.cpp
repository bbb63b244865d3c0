#include "platform/signal_crash.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <pthread.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <stdexcept>
#include <vector>

#include "platform/proc_maps.h"
#include "platform/report_thread.h"
#include "platform/thread_signal_stack.h"

namespace {

using namespace zor::platform;

EXCEPTION_RECORD FromSignal(int signo, int code, uint64_t address = 0, uint64_t trap = 0,
                            uint64_t error = 0, uint64_t sp = 0x7ffc00010000) {
  SignalFacts f;
  f.signalNumber = signo;
  f.signalCode = code;
  f.faultAddress = address;
  f.trapNumber = trap;
  f.errorCode = error;
  f.instructionPointer = 0x401000;
  f.stackPointer = sp;
  EXCEPTION_RECORD r;
  std::memset(&r, 0xCC, sizeof r);  // every byte must be set
  ExceptionFromSignal(f, r);
  return r;
}

TEST(SignalCrash, AccessViolationsNameReadWriteExecuteAndTheAddress) {
  const uint64_t kPageFault = 14;
  auto write = FromSignal(SIGSEGV, SEGV_MAPERR, 0, kPageFault, 0x6);
  EXPECT_EQ(write.ExceptionCode, kExceptionAccessViolation);
  EXPECT_EQ(write.ExceptionAddress, 0x401000u);
  EXPECT_EQ(write.NumberParameters, 2u);
  EXPECT_EQ(write.ExceptionInformation[0], 1u);
  EXPECT_EQ(write.ExceptionInformation[1], 0u);
  EXPECT_EQ(write.ExceptionInformation[2], 0u);
  EXPECT_EQ(write.ExceptionFlags, 0u);

  auto read = FromSignal(SIGSEGV, SEGV_ACCERR, 0x1234, kPageFault, 0x5);
  EXPECT_EQ(read.ExceptionInformation[0], 0u);
  EXPECT_EQ(read.ExceptionInformation[1], 0x1234u);
  auto fetch = FromSignal(SIGSEGV, SEGV_MAPERR, 0x10, kPageFault, 0x14);
  EXPECT_EQ(fetch.ExceptionInformation[0], 8u);
  // A general protection fault has no page-fault bits and no address.
  auto gp = FromSignal(SIGSEGV, SI_KERNEL, 0, 13, 0x2);
  EXPECT_EQ(gp.ExceptionCode, kExceptionAccessViolation);
  EXPECT_EQ(gp.ExceptionInformation[0], 0u);
  EXPECT_EQ(gp.ExceptionInformation[1], ~uint64_t{0});
}

TEST(SignalCrash, AFaultNextToTheStackPointerIsAStackOverflow) {
  const uint64_t sp = 0x7ffc00010000;
  EXPECT_EQ(FromSignal(SIGSEGV, SEGV_MAPERR, sp - 8, 14, 0x6, sp).ExceptionCode,
            kExceptionStackOverflow);
  EXPECT_EQ(FromSignal(SIGSEGV, SEGV_ACCERR, sp + 0x100, 14, 0x6, sp).ExceptionCode,
            kExceptionStackOverflow);
  EXPECT_EQ(FromSignal(SIGSEGV, SEGV_MAPERR, sp - 0x20000, 14, 0x6, sp).ExceptionCode,
            kExceptionAccessViolation);
  EXPECT_EQ(FromSignal(SIGSEGV, SEGV_MAPERR, 0, 14, 0x6, sp).ExceptionCode,
            kExceptionAccessViolation);
  // A stack pointer near 0 does not wrap the window around.
  EXPECT_EQ(FromSignal(SIGSEGV, SEGV_MAPERR, ~uint64_t{0} - 10, 14, 0x6, 0x100).ExceptionCode,
            kExceptionAccessViolation);
}

TEST(SignalCrash, EverySignalHasItsExceptionCodeAndBack) {
  struct Case {
    int signo, code;
    uint32_t exception;
  } cases[] = {
      {SIGBUS, BUS_ADRALN, kExceptionDatatypeMisalignment},
      {SIGBUS, BUS_ADRERR, kExceptionInPageError},
      {SIGILL, ILL_ILLOPC, kExceptionIllegalInstruction},
      {SIGILL, ILL_PRVOPC, kExceptionPrivilegedInstruction},
      {SIGFPE, FPE_INTDIV, kExceptionIntegerDivideByZero},
      {SIGFPE, FPE_INTOVF, kExceptionIntegerOverflow},
      {SIGFPE, FPE_FLTDIV, kExceptionFloatDivideByZero},
      {SIGFPE, FPE_FLTOVF, kExceptionFloatOverflow},
      {SIGFPE, FPE_FLTUND, kExceptionFloatUnderflow},
      {SIGFPE, FPE_FLTRES, kExceptionFloatInexactResult},
      {SIGFPE, FPE_FLTINV, kExceptionFloatInvalidOperation},
      {SIGFPE, FPE_FLTSUB, kExceptionArrayBoundsExceeded},
      {SIGTRAP, TRAP_BRKPT, kExceptionBreakpoint},
      {SIGTRAP, SI_KERNEL, kExceptionBreakpoint},  // int3
      {SIGTRAP, TRAP_TRACE, kExceptionSingleStep},
      {SIGABRT, SI_TKILL, kExceptionFailFast},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "signal " << c.signo << " code " << c.code);
    const EXCEPTION_RECORD r = FromSignal(c.signo, c.code, 0x5000);
    EXPECT_EQ(r.ExceptionCode, c.exception);
    EXPECT_EQ(SignalOfExceptionCode(c.exception), c.signo);
  }
  EXPECT_EQ(FromSignal(SIGABRT, SI_TKILL).ExceptionFlags, kExceptionNoncontinuableFlag);
  EXPECT_EQ(SignalOfExceptionCode(kExceptionStackOverflow), SIGSEGV);
  EXPECT_EQ(SignalOfExceptionCode(kExceptionCppException), SIGABRT);
  EXPECT_EQ(SignalOfExceptionCode(0xE0000001), SIGABRT);
}

TEST(SignalCrash, ContextTakesEveryRegisterOfTheMachineContext) {
  ucontext_t uc;
  std::memset(&uc, 0, sizeof uc);
  for (int i = 0; i < NGREG; ++i) uc.uc_mcontext.gregs[i] = 0x1000 + i;
  uc.uc_mcontext.gregs[REG_CSGSFS] = static_cast<greg_t>(0x002b000000000033);
  uc.uc_flags = 0x2;  // SS is stored
  struct _libc_fpstate fp;
  std::memset(&fp, 0x11, sizeof fp);
  fp.mxcsr = 0x1f80;
  uc.uc_mcontext.fpregs = &fp;
  CONTEXT c;
  ContextFromUcontext(uc, c);
  EXPECT_EQ(c.ContextFlags, kContextFull);
  EXPECT_EQ(c.Rax, 0x1000u + REG_RAX);
  EXPECT_EQ(c.Rbx, 0x1000u + REG_RBX);
  EXPECT_EQ(c.Rcx, 0x1000u + REG_RCX);
  EXPECT_EQ(c.Rdx, 0x1000u + REG_RDX);
  EXPECT_EQ(c.Rsi, 0x1000u + REG_RSI);
  EXPECT_EQ(c.Rdi, 0x1000u + REG_RDI);
  EXPECT_EQ(c.Rbp, 0x1000u + REG_RBP);
  EXPECT_EQ(c.Rsp, 0x1000u + REG_RSP);
  EXPECT_EQ(c.R8, 0x1000u + REG_R8);
  EXPECT_EQ(c.R15, 0x1000u + REG_R15);
  EXPECT_EQ(c.Rip, 0x1000u + REG_RIP);
  EXPECT_EQ(c.EFlags, 0x1000u + REG_EFL);
  EXPECT_EQ(c.SegCs, 0x33);
  EXPECT_EQ(c.SegSs, 0x2b);
  EXPECT_EQ(c.MxCsr, 0x1f80u);
  EXPECT_EQ(0, std::memcmp(c.FltSave, &fp, sizeof c.FltSave));

  uc.uc_mcontext.fpregs = nullptr;
  ContextFromUcontext(uc, c);
  EXPECT_EQ(c.ContextFlags, kContextFull & ~0x8u);
}

__attribute__((noinline)) void CaptureHere(CONTEXT& c, uint64_t& local) {
  volatile int marker = 0;
  local = reinterpret_cast<uint64_t>(&marker);
  CaptureContext(c);
}

TEST(SignalCrash, CaptureContextIsWhereTheCallerRuns) {
  CONTEXT c;
  uint64_t local = 0;
  CaptureHere(c, local);
  auto maps = std::make_unique<ProcMaps>();
  ASSERT_TRUE(maps->Load());
  MappedModule program;
  ASSERT_TRUE(maps->FindModule(c.Rip, program));  // in this test program
  EXPECT_EQ(maps->Find(c.Rsp), maps->Find(local));  // on this thread's stack
  EXPECT_EQ(c.SegCs, 0x33);
}

// In a child: installs a filter that reports the exception code through a
// pipe, runs `fail`, and returns how the child ended and what was reported.
struct ChildEnd {
  int status = 0;
  std::vector<uint32_t> codes;
};

int g_reportPipe = -1;

int32_t ReportingFilter(EXCEPTION_POINTERS* pointers) {
  const uint32_t code = pointers->ExceptionRecord->ExceptionCode;
  [[maybe_unused]] ssize_t n = ::write(g_reportPipe, &code, sizeof code);
  return kExceptionExecuteHandler;
}

// The test framework catches what a test throws; past this a throw ends in
// std::terminate, as in a program.
void RunUncaught(void (*fail)()) noexcept { fail(); }

ChildEnd RunFailingChild(void (*fail)(), ExceptionFilter filter = &ReportingFilter) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    g_reportPipe = fds[1];
    rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
    ::alarm(10);  // a hang ends in SIGALRM instead of a stuck test
    SetUnhandledExceptionFilter(filter);
    RunUncaught(fail);
    ::_exit(0);
  }
  ::close(fds[1]);
  ChildEnd end;
  uint32_t code;
  while (::read(fds[0], &code, sizeof code) == sizeof code) end.codes.push_back(code);
  ::close(fds[0]);
  ::waitpid(pid, &end.status, 0);
  return end;
}

TEST(SignalCrash, TheFilterSeesTheFailureAndTheProcessStillDiesOfIt) {
  const ChildEnd raised = RunFailingChild([] { ::raise(SIGBUS); });
  ASSERT_TRUE(WIFSIGNALED(raised.status));
  EXPECT_EQ(WTERMSIG(raised.status), SIGBUS);
  EXPECT_EQ(raised.codes, std::vector<uint32_t>{kExceptionInPageError});

  const ChildEnd thrown = RunFailingChild([] { throw std::runtime_error("nobody catches this"); });
  ASSERT_TRUE(WIFSIGNALED(thrown.status));
  EXPECT_EQ(WTERMSIG(thrown.status), SIGABRT);
  EXPECT_EQ(thrown.codes, std::vector<uint32_t>{kExceptionCppException});

  // Uninstalled: the filter is not called.
  const ChildEnd plain = RunFailingChild([] {
    SetUnhandledExceptionFilter(nullptr);
    ::raise(SIGILL);
  });
  ASSERT_TRUE(WIFSIGNALED(plain.status));
  EXPECT_EQ(WTERMSIG(plain.status), SIGILL);
  EXPECT_TRUE(plain.codes.empty());
}

void AbortingJob(void*) { std::abort(); }

int32_t FilterWithFailingReport(EXCEPTION_POINTERS* pointers) {
  ReportingFilter(pointers);
  RunOnReportThread(&AbortingJob, nullptr);  // the report itself fails
  return kExceptionExecuteHandler;
}

TEST(SignalCrashThreaded, AFailureInsideTheReportEndsTheProcessInsteadOfHanging) {
  const ChildEnd end = RunFailingChild(
      [] {
        StartReportThread();
        ::raise(SIGSEGV);
      },
      &FilterWithFailingReport);
  ASSERT_TRUE(WIFSIGNALED(end.status));
  EXPECT_EQ(WTERMSIG(end.status), SIGABRT);
  EXPECT_EQ(end.codes, std::vector<uint32_t>{kExceptionAccessViolation});
}

// The alternate signal stack of the calling thread: its size, 0 for none.
std::size_t OwnAlternateStackSize() {
  stack_t ss{};
  if (::sigaltstack(nullptr, &ss) != 0 || (ss.ss_flags & SS_DISABLE)) return 0;
  return ss.ss_size;
}

std::size_t StdThreadAlternateStackSize() {
  std::size_t size = 0;
  std::thread([&size] { size = OwnAlternateStackSize(); }).join();
  return size;
}

std::size_t PthreadAlternateStackSize() {
  std::size_t size = 0;
  pthread_t thread;
  if (::pthread_create(
          &thread, nullptr,
          [](void* out) -> void* {
            *static_cast<std::size_t*>(out) = OwnAlternateStackSize();
            return nullptr;
          },
          &size) != 0)
    return 0;
  ::pthread_join(thread, nullptr);
  return size;
}

// True when the alternate stack a finished thread had is unmapped.
bool FinishedThreadsStackIsReleased() {
  void* stack = nullptr;
  std::thread([&stack] {
    stack_t ss{};
    if (::sigaltstack(nullptr, &ss) == 0 && !(ss.ss_flags & SS_DISABLE)) stack = ss.ss_sp;
  }).join();
  if (stack == nullptr) return false;
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  unsigned char resident = 0;
  void* first = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(stack) & ~(page - 1));
  return ::mincore(first, page, &resident) != 0 && errno == ENOMEM;
}

int32_t QuietFilter(EXCEPTION_POINTERS*) { return kExceptionExecuteHandler; }

TEST(SignalCrashThreaded, ThreadsStartedAfterTheInstallGetAnAlternateStack) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    // A sanitizer may give every thread a stack of its own: only what the
    // install changes is ours to check.
    const std::size_t before = StdThreadAlternateStackSize();
    SetUnhandledExceptionFilter(&QuietFilter);
    if (!NewThreadsGetAlternateSignalStacks()) ::_exit(77);
    if (StdThreadAlternateStackSize() == 0) ::_exit(1);
    if (PthreadAlternateStackSize() == 0) ::_exit(2);
    // Each thread's stack goes with it.
    if (before == 0 && !FinishedThreadsStackIsReleased()) ::_exit(3);
    SetUnhandledExceptionFilter(nullptr);
    if (before == 0 && (StdThreadAlternateStackSize() != 0 || PthreadAlternateStackSize() != 0))
      ::_exit(4);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "a sanitizer runtime owns pthread_create here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
