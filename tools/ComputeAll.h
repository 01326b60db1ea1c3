// SPDX-License-Identifier: Apache-2.0
// Many requests held in memory, computed over threads in chunks: the smile's strikes,
// and any command whose rows are few enough to hold.
#ifndef EUROCALL_TOOLS_COMPUTEALL_H
#define EUROCALL_TOOLS_COMPUTEALL_H

#include <vector>

#include "Exports.h"
#include "Library.h"
#include "Request.h"

namespace eurocall::tool {

// results[i * exports.size() + j] = Compute(exports[j], requests[i]), the same bits for
// every number of threads. With `progress` set, a progress bar is drawn on standard
// error once the job has run for half a second.
std::vector<double> ComputeAll(const Library& library, const std::vector<Export>& exports,
                               const std::vector<Request>& requests, unsigned threads, bool progress);

}  // namespace eurocall::tool

#endif
