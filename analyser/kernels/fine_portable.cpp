#define FINE_NAMESPACE portable
#include "fine_impl.h"

namespace analyser::kernels {

FineKernels fineKernelsPortable() {
  return {&portable::fineSums, &portable::goertzelSums};
}

}  // namespace analyser::kernels
