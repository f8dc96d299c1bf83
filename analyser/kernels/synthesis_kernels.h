// The recurrence synthesis built with AVX-512 (kernels/synthesis_avx512.cpp): the same samples
// as subtractSine, eight at a time where none needs the literal sine.
#pragma once

#include <cstdint>

namespace analyser::kernels {

// False where this build has no such copy (off x86).
bool subtractSineAvx512Available();
void subtractSineAvx512(int32_t* window, int from, int to, double a, double theta0, double delta,
                        bool addBack);

}  // namespace analyser::kernels
