#pragma once

namespace zelvaro {
class Archive;
}

namespace zelvaro::bench {

struct Budget;

// The arithmetic of a time entry and of CALCOLA_ORE, per call in ns (no budget).
void pureArithmetic();

// The "Riepilogo ore" window at `n` records: opened (read, laid out and shown) against one summary
// pass, then 12 months chosen one after the other in its tree; budgeted at 100,000 records.
void riepilogoWindow(Archive &archive, int n, Budget &budget);

} // namespace zelvaro::bench
