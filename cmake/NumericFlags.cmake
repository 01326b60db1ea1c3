# SPDX-License-Identifier: Apache-2.0
# The one place where the arithmetic the library relies on is set.
#
# Every result of this library is fixed to the last bit, which holds only when each
# operation is an IEEE double operation, rounded to nearest on its own:
#   -ffp-contract=off   never fuse a*b + c into one FMA: fusing skips a rounding and
#                       changes last bits (and results at cancellations)
#   -fno-fast-math      no reassociation, no reciprocal tricks, NaN and infinities kept;
#                       stated explicitly so that no toolchain default can turn it on
#   -msse2 -mfpmath=sse (32-bit x86 only) doubles in SSE registers, never the 80-bit x87
#                       stack, whose wider intermediates round twice
add_library(eurocall_numeric INTERFACE)
target_compile_options(eurocall_numeric INTERFACE
  $<$<COMPILE_LANG_AND_ID:CXX,GNU,Clang,AppleClang>:-ffp-contract=off -fno-fast-math>
  $<$<COMPILE_LANG_AND_ID:C,GNU,Clang,AppleClang>:-ffp-contract=off -fno-fast-math>)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
  target_compile_options(eurocall_numeric INTERFACE -msse2 -mfpmath=sse)
endif()
