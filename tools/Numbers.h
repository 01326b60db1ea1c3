// SPDX-License-Identifier: Apache-2.0
// Doubles as text: shortest round-trip output and exact input, both locale-free.
#ifndef EUROCALL_TOOLS_NUMBERS_H
#define EUROCALL_TOOLS_NUMBERS_H

#include <string>
#include <string_view>

namespace eurocall::tool {

// The shortest text that reads back to the same double ("0.2", "1e-05", "-0", "nan",
// "inf"), from std::to_chars.
std::string FormatDouble(double v);

enum class NumberText {
  kNumber,      // read, correctly rounded
  kEmpty,       // nothing but blanks
  kNotANumber,  // not a decimal number at all
  kOutOfRange,  // a decimal number no double holds: beyond 1.8e308, or so small it would read as 0
};

// Reads a whole field as a double, correctly rounded, with std::from_chars. Surrounding
// blanks and one leading '+' are accepted; "nan", "inf" and "infinity" too (the library
// lets them flow through, the model's domain check then names them). *out is set only
// for kNumber.
NumberText ParseDouble(std::string_view text, double* out);

// What is wrong with `text` as a number: "empty field", "'abc' is not a number",
// "'1e400' is out of range for a double".
std::string NumberProblem(std::string_view text, NumberText status);

std::string_view TrimBlanks(std::string_view s);

}  // namespace eurocall::tool

#endif
