// Doubles as text: shortest round-trip output and exact input, both locale-free.
#ifndef EUROCALL_TOOLS_NUMBERS_H
#define EUROCALL_TOOLS_NUMBERS_H

#include <string>
#include <string_view>

namespace eurocall::tool {

// The shortest text that reads back to the same double ("0.2", "1e-05", "-0", "nan",
// "inf"), from std::to_chars.
std::string FormatDouble(double v);

// Reads a whole field as a double, correctly rounded, with std::from_chars. Surrounding
// blanks and one leading '+' are accepted; "nan", "inf" and "infinity" too (the library
// lets them flow through). Returns false for anything else, including an empty field.
bool ParseDouble(std::string_view text, double* out);

std::string_view TrimBlanks(std::string_view s);

}  // namespace eurocall::tool

#endif
