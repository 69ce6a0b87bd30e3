#pragma once
// The millisecond tick: an unsigned 32-bit count from a monotonic clock that wraps.
// Elapsed times are 32-bit differences, so they stay right across the wrap.
#include <cstdint>

uint32_t TickCount();
inline uint32_t TicksSince(uint32_t start) { return TickCount() - start; }

// Processor time, user and system, in seconds: of the whole process, and of the calling thread.
double ProcessCpuSeconds();
double ThreadCpuSeconds();
