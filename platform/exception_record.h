// The records with which the platform describes an exception that nothing
// handled: the exception record, the processor context of the failing thread,
// the pair of pointers handed to an exception filter, and the exception codes.
//
//   zor::platform::EXCEPTION_RECORD record{};
//   record.ExceptionCode = zor::platform::kExceptionAccessViolation;
//   record.NumberParameters = 2;
//   record.ExceptionInformation[0] = 1;          // a write
//   record.ExceptionInformation[1] = address;    // to this address
//   zor::platform::CONTEXT context{};
//   zor::platform::CaptureContext(context);      // platform/signal_crash.h
//   zor::platform::EXCEPTION_POINTERS pointers{&record, &context};
//
// The layouts are those of the 64-bit platform (the 64-bit exception record
// and the AMD64 context), byte for byte, because a minidump stores them as
// they stand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace zor::platform {

// Exception codes of the platform.
inline constexpr uint32_t kExceptionControlC = 0x40010005;
inline constexpr uint32_t kExceptionControlBreak = 0x40010008;
inline constexpr uint32_t kExceptionDatatypeMisalignment = 0x80000002;
inline constexpr uint32_t kExceptionBreakpoint = 0x80000003;
inline constexpr uint32_t kExceptionSingleStep = 0x80000004;
inline constexpr uint32_t kExceptionAccessViolation = 0xC0000005;
inline constexpr uint32_t kExceptionInPageError = 0xC0000006;
inline constexpr uint32_t kExceptionNoMemory = 0xC0000017;
inline constexpr uint32_t kExceptionIllegalInstruction = 0xC000001D;
inline constexpr uint32_t kExceptionNoncontinuable = 0xC0000025;
inline constexpr uint32_t kExceptionInvalidDisposition = 0xC0000026;
inline constexpr uint32_t kExceptionArrayBoundsExceeded = 0xC000008C;
inline constexpr uint32_t kExceptionFloatDenormalOperand = 0xC000008D;
inline constexpr uint32_t kExceptionFloatDivideByZero = 0xC000008E;
inline constexpr uint32_t kExceptionFloatInexactResult = 0xC000008F;
inline constexpr uint32_t kExceptionFloatInvalidOperation = 0xC0000090;
inline constexpr uint32_t kExceptionFloatOverflow = 0xC0000091;
inline constexpr uint32_t kExceptionFloatStackCheck = 0xC0000092;
inline constexpr uint32_t kExceptionFloatUnderflow = 0xC0000093;
inline constexpr uint32_t kExceptionIntegerDivideByZero = 0xC0000094;
inline constexpr uint32_t kExceptionIntegerOverflow = 0xC0000095;
inline constexpr uint32_t kExceptionPrivilegedInstruction = 0xC0000096;
inline constexpr uint32_t kExceptionStackOverflow = 0xC00000FD;
inline constexpr uint32_t kExceptionDllInitFailed = 0xC0000142;
// Fail-fast: what the platform raises for abort() and a detected stack
// buffer overrun; here it stands for SIGABRT.
inline constexpr uint32_t kExceptionFailFast = 0xC0000409;
// A C++ exception that no catch took (the compiler's "msc" code).
inline constexpr uint32_t kExceptionCppException = 0xE06D7363;

// ExceptionFlags: the exception cannot be continued.
inline constexpr uint32_t kExceptionNoncontinuableFlag = 0x1;
inline constexpr int kExceptionMaximumParameters = 15;

// The 64-bit exception record. Pointer-sized fields are stored as 64-bit
// values so the layout is the same whatever the build.
struct EXCEPTION_RECORD {
  uint32_t ExceptionCode;
  uint32_t ExceptionFlags;
  uint64_t ExceptionRecord;   // address of a chained record; 0 for none
  uint64_t ExceptionAddress;  // instruction that failed
  uint32_t NumberParameters;
  uint32_t UnusedAlignment;
  // For an access violation: [0] 0 read, 1 write, 8 execute; [1] the address.
  uint64_t ExceptionInformation[kExceptionMaximumParameters];
};
static_assert(std::is_standard_layout_v<EXCEPTION_RECORD> && sizeof(EXCEPTION_RECORD) == 152);
static_assert(offsetof(EXCEPTION_RECORD, ExceptionFlags) == 4);
static_assert(offsetof(EXCEPTION_RECORD, ExceptionRecord) == 8);
static_assert(offsetof(EXCEPTION_RECORD, ExceptionAddress) == 16);
static_assert(offsetof(EXCEPTION_RECORD, NumberParameters) == 24);
static_assert(offsetof(EXCEPTION_RECORD, ExceptionInformation) == 32);

// ContextFlags bits of the AMD64 context.
inline constexpr uint32_t kContextAmd64 = 0x00100000;
inline constexpr uint32_t kContextControl = kContextAmd64 | 0x1;   // Rip, Rsp, SegCs, SegSs, EFlags
inline constexpr uint32_t kContextInteger = kContextAmd64 | 0x2;   // Rax..R15 less Rsp
inline constexpr uint32_t kContextSegments = kContextAmd64 | 0x4;  // SegDs, SegEs, SegFs, SegGs
inline constexpr uint32_t kContextFloatingPoint = kContextAmd64 | 0x8;  // MxCsr, FltSave
inline constexpr uint32_t kContextFull =
    kContextControl | kContextInteger | kContextSegments | kContextFloatingPoint;

// The AMD64 processor context (1,232 bytes). FltSave holds the 512-byte
// FXSAVE image, the same layout the kernel gives a signal handler.
struct alignas(16) CONTEXT {
  uint64_t P1Home, P2Home, P3Home, P4Home, P5Home, P6Home;
  uint32_t ContextFlags;
  uint32_t MxCsr;
  uint16_t SegCs, SegDs, SegEs, SegFs, SegGs, SegSs;
  uint32_t EFlags;
  uint64_t Dr0, Dr1, Dr2, Dr3, Dr6, Dr7;
  uint64_t Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi;
  uint64_t R8, R9, R10, R11, R12, R13, R14, R15;
  uint64_t Rip;
  uint8_t FltSave[512];
  uint8_t VectorRegister[26 * 16];
  uint64_t VectorControl;
  uint64_t DebugControl;
  uint64_t LastBranchToRip;
  uint64_t LastBranchFromRip;
  uint64_t LastExceptionToRip;
  uint64_t LastExceptionFromRip;
};
static_assert(std::is_standard_layout_v<CONTEXT> && sizeof(CONTEXT) == 1232);
static_assert(offsetof(CONTEXT, ContextFlags) == 0x30);
static_assert(offsetof(CONTEXT, MxCsr) == 0x34);
static_assert(offsetof(CONTEXT, SegCs) == 0x38);
static_assert(offsetof(CONTEXT, SegSs) == 0x42);
static_assert(offsetof(CONTEXT, EFlags) == 0x44);
static_assert(offsetof(CONTEXT, Dr0) == 0x48);
static_assert(offsetof(CONTEXT, Rax) == 0x78);
static_assert(offsetof(CONTEXT, Rsp) == 0x98);
static_assert(offsetof(CONTEXT, Rdi) == 0xB0);
static_assert(offsetof(CONTEXT, R8) == 0xB8);
static_assert(offsetof(CONTEXT, R15) == 0xF0);
static_assert(offsetof(CONTEXT, Rip) == 0xF8);
static_assert(offsetof(CONTEXT, FltSave) == 0x100);
static_assert(offsetof(CONTEXT, VectorRegister) == 0x300);
static_assert(offsetof(CONTEXT, VectorControl) == 0x4A0);
static_assert(offsetof(CONTEXT, LastExceptionFromRip) == 0x4C8);

// What an exception filter receives.
struct EXCEPTION_POINTERS {
  EXCEPTION_RECORD* ExceptionRecord;
  CONTEXT* ContextRecord;
};

// What a minidump writer is told about the exception: the failing thread, its
// exception pointers, and whether those point into another process (never,
// here).
struct MINIDUMP_EXCEPTION_INFORMATION {
  uint32_t ThreadId;
  EXCEPTION_POINTERS* ExceptionPointers;
  int32_t ClientPointers;
};

// Return values of an exception filter.
inline constexpr int32_t kExceptionContinueSearch = 0;
inline constexpr int32_t kExceptionExecuteHandler = 1;

}  // namespace zor::platform
