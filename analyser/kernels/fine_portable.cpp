#define FINE_NAMESPACE portable
#include "fine_impl.h"

namespace analyser::kernels {

void fineSumsPortable(const double* x, int n, const double* delta, double* xc, double* xs) {
  portable::fineSums(x, n, delta, xc, xs);
}

}  // namespace analyser::kernels
