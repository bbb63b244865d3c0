#include "platform/signal_crash.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <mutex>

#include "platform/report_thread.h"
#include "platform/thread_signal_stack.h"

namespace zor::platform {
namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// A fault within this distance below, or kOverflowAbove above, the stack
// pointer is the stack running out: nothing else faults next to it.
constexpr uint64_t kOverflowBelow = 64 * 1024;
constexpr uint64_t kOverflowAbove = 1024 * 1024;
constexpr uint64_t kPageFaultTrap = 14;
constexpr std::size_t kAltStackSize = 256 * 1024;

std::mutex g_installMutex;
bool g_installed = false;
struct sigaction g_previous[kSignalCount];
std::terminate_handler g_previousTerminate = nullptr;
std::atomic<ExceptionFilter> g_filter{nullptr};

// The thread that reports; 0 until a thread fails.
std::atomic<pid_t> g_reporter{0};
EXCEPTION_RECORD g_record;
CONTEXT g_context;
EXCEPTION_POINTERS g_pointers;

[[noreturn]] void WaitForProcessEnd() {
  for (;;) ::pause();
}

void RestoreDefault(int signalNumber) {
  struct sigaction dfl;
  std::memset(&dfl, 0, sizeof dfl);
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(signalNumber, &dfl, nullptr);
}

// The signal stays blocked until the handler returns; then the default
// action takes the process.
void RestoreDefaultAndRaise(int signalNumber) {
  RestoreDefault(signalNumber);
  ::syscall(SYS_tgkill, static_cast<long>(::getpid()), static_cast<long>(::gettid()),
            static_cast<long>(signalNumber));
}

// kOtherThread: another thread reports already (the caller then waits);
// kSameThread: this thread failed again inside its own report, or the report
// thread itself failed (waiting would wait for itself).
enum class Claim { kFirst, kOtherThread, kSameThread };
Claim ClaimReport() {
  if (IsReportThread()) return Claim::kSameThread;
  const pid_t self = ::gettid();
  pid_t expected = 0;
  if (g_reporter.compare_exchange_strong(expected, self)) return Claim::kFirst;
  return expected == self ? Claim::kSameThread : Claim::kOtherThread;
}

void OnSignal(int signalNumber, siginfo_t* info, void* ucontext) {
  const int savedErrno = errno;
  switch (ClaimReport()) {
    case Claim::kOtherThread: WaitForProcessEnd();
    case Claim::kSameThread: RestoreDefaultAndRaise(signalNumber); return;
    case Claim::kFirst: break;
  }
  const ExceptionFilter filter = g_filter.load();
  if (filter != nullptr && ucontext != nullptr) {
    const auto& uc = *static_cast<const ucontext_t*>(ucontext);
    ContextFromUcontext(uc, g_context);
    SignalFacts facts;
    facts.signalNumber = signalNumber;
    facts.signalCode = info ? info->si_code : 0;
    facts.faultAddress = info ? reinterpret_cast<uint64_t>(info->si_addr) : 0;
    facts.instructionPointer = g_context.Rip;
    facts.stackPointer = g_context.Rsp;
#if defined(__x86_64__)
    facts.trapNumber = static_cast<uint64_t>(uc.uc_mcontext.gregs[REG_TRAPNO]);
    facts.errorCode = static_cast<uint64_t>(uc.uc_mcontext.gregs[REG_ERR]);
#endif
    ExceptionFromSignal(facts, g_record);
    g_pointers = {&g_record, &g_context};
    filter(&g_pointers);
  }
  RestoreDefaultAndRaise(signalNumber);
  errno = savedErrno;
}

void OnTerminate() {
  switch (ClaimReport()) {
    case Claim::kOtherThread: WaitForProcessEnd();
    case Claim::kSameThread: break;
    case Claim::kFirst: {
      const ExceptionFilter filter = g_filter.load();
      if (filter == nullptr) break;
      CaptureContext(g_context);
      std::memset(&g_record, 0, sizeof g_record);
      g_record.ExceptionCode = kExceptionCppException;
      g_record.ExceptionFlags = kExceptionNoncontinuableFlag;
      g_record.ExceptionAddress = g_context.Rip;
      g_pointers = {&g_record, &g_context};
      filter(&g_pointers);
      break;
    }
  }
  // The previous handler (normally the one that prints the exception's type
  // and what()) ends in abort(), which now takes its default action.
  RestoreDefault(SIGABRT);
  if (g_previousTerminate != nullptr && g_previousTerminate != &OnTerminate) g_previousTerminate();
  std::abort();
}

bool IsStackOverflow(const SignalFacts& f) {
  if (f.signalNumber != SIGSEGV || (f.signalCode != SEGV_MAPERR && f.signalCode != SEGV_ACCERR))
    return false;
  const uint64_t sp = f.stackPointer;
  const uint64_t low = sp > kOverflowBelow ? sp - kOverflowBelow : 0;
  return f.faultAddress >= low && f.faultAddress - low < kOverflowBelow + kOverflowAbove;
}

// 0 read, 1 write, 8 execute (instruction fetch), from the page-fault bits.
uint64_t AccessKind(const SignalFacts& f) {
  if (f.trapNumber != kPageFaultTrap) return 0;
  if (f.errorCode & 0x10) return 8;
  return (f.errorCode & 0x2) ? 1 : 0;
}

uint32_t FloatingPointCode(int code) {
  switch (code) {
    case FPE_INTDIV: return kExceptionIntegerDivideByZero;
    case FPE_INTOVF: return kExceptionIntegerOverflow;
    case FPE_FLTDIV: return kExceptionFloatDivideByZero;
    case FPE_FLTOVF: return kExceptionFloatOverflow;
    case FPE_FLTUND: return kExceptionFloatUnderflow;
    case FPE_FLTRES: return kExceptionFloatInexactResult;
    case FPE_FLTSUB: return kExceptionArrayBoundsExceeded;
    default: return kExceptionFloatInvalidOperation;
  }
}

struct AltStack {
  void* base = nullptr;
  std::size_t size = 0;
  ~AltStack() {
    if (base == nullptr) return;
    stack_t disable;
    std::memset(&disable, 0, sizeof disable);
    disable.ss_flags = SS_DISABLE;
    stack_t current;
    // Only release it while it is still this thread's stack.
    if (::sigaltstack(nullptr, &current) == 0 &&
        current.ss_sp == static_cast<char*>(base) + GuardSize() && !(current.ss_flags & SS_ONSTACK))
      ::sigaltstack(&disable, nullptr);
    ::munmap(base, size);
  }
  static std::size_t GuardSize() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }
};
thread_local AltStack t_altStack;

}  // namespace

void ExceptionFromSignal(const SignalFacts& f, EXCEPTION_RECORD& r) noexcept {
  std::memset(&r, 0, sizeof r);
  r.ExceptionAddress = f.instructionPointer;
  switch (f.signalNumber) {
    case SIGSEGV: {
      const bool overflow = IsStackOverflow(f);
      r.ExceptionCode = overflow ? kExceptionStackOverflow : kExceptionAccessViolation;
      r.NumberParameters = 2;
      r.ExceptionInformation[0] = AccessKind(f);
      // A general protection fault (a non-canonical address) names none.
      r.ExceptionInformation[1] = f.signalCode == SI_KERNEL ? ~uint64_t{0} : f.faultAddress;
      break;
    }
    case SIGBUS:
      r.ExceptionCode =
          f.signalCode == BUS_ADRALN ? kExceptionDatatypeMisalignment : kExceptionInPageError;
      if (r.ExceptionCode == kExceptionInPageError) {
        r.NumberParameters = 2;
        r.ExceptionInformation[0] = AccessKind(f);
        r.ExceptionInformation[1] = f.faultAddress;
      }
      break;
    case SIGILL:
      r.ExceptionCode = f.signalCode == ILL_PRVOPC || f.signalCode == ILL_PRVREG
                            ? kExceptionPrivilegedInstruction
                            : kExceptionIllegalInstruction;
      break;
    case SIGFPE: r.ExceptionCode = FloatingPointCode(f.signalCode); break;
    case SIGTRAP:
      r.ExceptionCode = f.signalCode == TRAP_TRACE ? kExceptionSingleStep : kExceptionBreakpoint;
      break;
    default:
      r.ExceptionCode = kExceptionFailFast;
      r.ExceptionFlags = kExceptionNoncontinuableFlag;
      break;
  }
}

int SignalOfExceptionCode(uint32_t code) noexcept {
  switch (code) {
    case kExceptionAccessViolation:
    case kExceptionStackOverflow: return SIGSEGV;
    case kExceptionDatatypeMisalignment:
    case kExceptionInPageError: return SIGBUS;
    case kExceptionIllegalInstruction:
    case kExceptionPrivilegedInstruction: return SIGILL;
    case kExceptionBreakpoint:
    case kExceptionSingleStep: return SIGTRAP;
    default:
      if (code >= kExceptionArrayBoundsExceeded && code <= kExceptionIntegerOverflow) return SIGFPE;
      return SIGABRT;
  }
}

void ContextFromUcontext(const ucontext_t& uc, CONTEXT& c) noexcept {
  std::memset(&c, 0, sizeof c);
#if defined(__x86_64__)
  // uc_flags bit: the kernel stored SS in the top of REG_CSGSFS.
  constexpr unsigned long kSigcontextSs = 0x2;
  constexpr uint16_t kUserDataSelector = 0x2b;
  const greg_t* g = uc.uc_mcontext.gregs;
  auto u = [](greg_t v) { return static_cast<uint64_t>(v); };
  c.ContextFlags = kContextControl | kContextInteger | kContextSegments;
  c.Rax = u(g[REG_RAX]);
  c.Rcx = u(g[REG_RCX]);
  c.Rdx = u(g[REG_RDX]);
  c.Rbx = u(g[REG_RBX]);
  c.Rsp = u(g[REG_RSP]);
  c.Rbp = u(g[REG_RBP]);
  c.Rsi = u(g[REG_RSI]);
  c.Rdi = u(g[REG_RDI]);
  c.R8 = u(g[REG_R8]);
  c.R9 = u(g[REG_R9]);
  c.R10 = u(g[REG_R10]);
  c.R11 = u(g[REG_R11]);
  c.R12 = u(g[REG_R12]);
  c.R13 = u(g[REG_R13]);
  c.R14 = u(g[REG_R14]);
  c.R15 = u(g[REG_R15]);
  c.Rip = u(g[REG_RIP]);
  c.EFlags = static_cast<uint32_t>(g[REG_EFL]);
  const uint64_t segments = u(g[REG_CSGSFS]);
  c.SegCs = static_cast<uint16_t>(segments);
  c.SegGs = static_cast<uint16_t>(segments >> 16);
  c.SegFs = static_cast<uint16_t>(segments >> 32);
  c.SegSs = (uc.uc_flags & kSigcontextSs) ? static_cast<uint16_t>(segments >> 48) : kUserDataSelector;
  if (uc.uc_mcontext.fpregs != nullptr) {
    static_assert(sizeof(*uc.uc_mcontext.fpregs) == sizeof c.FltSave);
    std::memcpy(c.FltSave, uc.uc_mcontext.fpregs, sizeof c.FltSave);
    c.MxCsr = uc.uc_mcontext.fpregs->mxcsr;
    c.ContextFlags |= kContextFloatingPoint;
  }
#else
  (void)uc;  // only the AMD64 context is written; other processors leave it zero
#endif
}

__attribute__((noinline)) void CaptureContext(CONTEXT& context) noexcept {
  ucontext_t uc;
  std::memset(&uc, 0, sizeof uc);
  ::getcontext(&uc);
  ContextFromUcontext(uc, context);
#if defined(__x86_64__)
  uint16_t cs = 0, ss = 0;
  asm volatile("mov %%cs, %0\n\tmov %%ss, %1" : "=r"(cs), "=r"(ss));
  context.SegCs = cs;
  context.SegSs = ss;
#endif
}

bool InstallAlternateSignalStack() noexcept {
  stack_t current;
  if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return true;
  const std::size_t guard = AltStack::GuardSize();
  const std::size_t size = kAltStackSize + guard;
  void* base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return false;
  ::mprotect(base, guard, PROT_NONE);  // an overflow of the handler's stack faults at once
  stack_t stack;
  std::memset(&stack, 0, sizeof stack);
  stack.ss_sp = static_cast<char*>(base) + guard;
  stack.ss_size = kAltStackSize;
  if (::sigaltstack(&stack, nullptr) != 0) {
    ::munmap(base, size);
    return false;
  }
  t_altStack.base = base;
  t_altStack.size = size;
  return true;
}

ExceptionFilter SetUnhandledExceptionFilter(ExceptionFilter filter) {
  std::lock_guard<std::mutex> lock(g_installMutex);
  const ExceptionFilter previous = g_filter.exchange(filter);
  if (filter != nullptr && !g_installed) {
    InstallAlternateSignalStack();
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = &OnSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) sigaddset(&action.sa_mask, s);
    for (int i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
    g_previousTerminate = std::set_terminate(&OnTerminate);
    GiveNewThreadsAlternateSignalStacks(true);
    g_installed = true;
  } else if (filter == nullptr && g_installed) {
    for (int i = 0; i < kSignalCount; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    std::set_terminate(g_previousTerminate);
    GiveNewThreadsAlternateSignalStacks(false);
    g_installed = false;
  }
  return previous;
}

}  // namespace zor::platform
