#include "real_fft.h"

#include <fftw3.h>

namespace media {

std::mutex& fftwPlannerLock() {
  static std::mutex lock;
  return lock;
}

// FFTW_ESTIMATE picks the algorithm from the size alone, so the results do not depend on
// timings measured at run time.
RealFft::RealFft(std::size_t n) : n_(n) {
  in_ = fftw_alloc_real(n);
  fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
  out_ = reinterpret_cast<std::complex<double>*>(out);
  std::lock_guard<std::mutex> guard(fftwPlannerLock());
  plan_ = fftw_plan_dft_r2c_1d(static_cast<int>(n), in_, out, FFTW_ESTIMATE);
}

RealFft::~RealFft() {
  {
    std::lock_guard<std::mutex> guard(fftwPlannerLock());
    fftw_destroy_plan(static_cast<fftw_plan>(plan_));
  }
  fftw_free(in_);
  fftw_free(out_);
}

void RealFft::execute() {
  fftw_execute(static_cast<fftw_plan>(plan_));
}

void RealFft::powers(double* out) {
  execute();
  for (std::size_t k = 0; k <= n_ / 2; ++k) out[k] = std::norm(out_[k]);
}

}  // namespace media
