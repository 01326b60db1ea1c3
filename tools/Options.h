// SPDX-License-Identifier: Apache-2.0
// The options the commands share, each read the same way everywhere.
#ifndef EUROCALL_TOOLS_OPTIONS_H
#define EUROCALL_TOOLS_OPTIONS_H

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "Exports.h"
#include "Request.h"

namespace eurocall::tool {

// --<name> NUM into the parameter's slot of `values`, read with ParseDouble: CLI11's own
// conversion goes through long double and could round twice.
CLI::Option* AddNumber(CLI::App* app, Param p, Values* values, bool required = true);

// --method among `choices` ("exact", "fast" and maybe "both").
CLI::Option* AddMethod(CLI::App* app, std::string* method, std::vector<std::string> choices);

// --kind call|put and --q into a request.
void AddKindAndDividend(CLI::App* app, Request* request);

}  // namespace eurocall::tool

#endif
