// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace zupfomat {

// How the poll tick sets the loop lead for a sheet: a riff restarts once (d - 1)/d of its
// recording has played, or at its very end, or keeps the lead it had.
struct LoopLeadRule {
    enum Kind { Divide, Zero, Unchanged };
    Kind kind = Unchanged;
    int divisor = 0; // for Divide
};

// For a current number (riffs 1 to 58; everything else, the exercises, keeps its lead).
LoopLeadRule loopLeadRule(int currentNumber);

// length / divisor rounded half to even, in 64 bits so that no length overflows it.
int64_t loopLeadFor(int64_t lengthMs, int divisor);

} // namespace zupfomat
