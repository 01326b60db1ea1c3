// Many calls of a few exports, spread over threads. Each result depends only on its
// own row: rows are handed out one at a time, every result lands in the row's own slot,
// and a thread on which the library's maths error indicator has been set is retired
// and replaced by a fresh one before it takes another row. So the results are the same
// bit for bit for every number of threads.
#ifndef EUROCALL_TOOLS_EVALUATE_H
#define EUROCALL_TOOLS_EVALUATE_H

#include <vector>

#include "Exports.h"
#include "Library.h"

namespace eurocall::tool {

// results[i * exports.size() + j] = exports[j] called on rows[i]. With `progress` set,
// a progress bar is drawn on standard error once the job has run for half a second.
std::vector<double> Evaluate(const Library& library, const std::vector<Export>& exports,
                             const std::vector<Values>& rows, unsigned threads, bool progress);

// Every core the machine reports, at least 1.
unsigned DefaultThreads();

}  // namespace eurocall::tool

#endif
