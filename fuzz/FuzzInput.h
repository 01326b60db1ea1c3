// SPDX-License-Identifier: Apache-2.0
#ifndef EUROCALL_FUZZ_FUZZINPUT_H
#define EUROCALL_FUZZ_FUZZINPUT_H

// A fuzzer's input read front to back in fixed-size pieces; past the end every read
// gives 0, so that every input decodes to something and the seed files can be written
// field by field.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace eurocall::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Exhausted() const { return pos_ >= size_; }

  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  std::uint16_t U16() {
    const std::uint16_t lo = Byte();
    return static_cast<std::uint16_t>(lo | (Byte() << 8));
  }

  std::int16_t I16() {
    const std::uint16_t u = U16();
    std::int16_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
  }

  // Any bit pattern: NaNs with payloads, infinities, subnormals, both zeros.
  double RawDouble() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t{Byte()} << (8 * i);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A finding: say what broke, then abort so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "finding: %s\n", what);
  std::abort();
}

}  // namespace eurocall::fuzz

#endif
