// Trace messages: the start ("S: ...") and end ("E: ...") marks that the
// older code leaves around its steps. They go nowhere; the calls stay so that
// their formats are still checked.
//
//   Trace("S: ReadBlock %d", block);
//   ...
//   Trace("E: ReadBlock");
#pragma once

inline void Trace(const char* /*format*/, ...) __attribute__((format(printf, 1, 2)));
inline void Trace(const char* /*format*/, ...) {}
inline void Trace(const wchar_t* /*format*/, ...) {}
