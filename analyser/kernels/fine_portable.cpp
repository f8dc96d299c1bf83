#define FINE_NAMESPACE portable
#include "fine_batch_impl.h"

namespace analyser::kernels {

FineKernels fineKernelsPortable() {
  // The batched kernels' eight-wide vectors are lowered to the target's own width.
  return {&portable::fineSums, &portable::goertzelSums, &portable::batchReinschSums,
          &portable::batchGoertzelSums};
}

}  // namespace analyser::kernels
