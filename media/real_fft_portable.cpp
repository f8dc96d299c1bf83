// RealFft without FFTW, for builds that have no FFTW (the web engine): Eigen's FFT module, whose
// default back end is the header-only KISS FFT. Its results agree with FFTW's to rounding.
#include <Eigen/Core>
#include <unsupported/Eigen/FFT>

#include "real_fft.h"

namespace media {

namespace {

using Transform = Eigen::FFT<double>;

}  // namespace

std::mutex& fftwPlannerLock() {
  static std::mutex lock;
  return lock;
}

RealFft::RealFft(std::size_t n) : n_(n) {
  in_ = new double[n]();
  out_ = new std::complex<double>[n / 2 + 1]();
  auto* transform = new Transform();
  // Only X[0 .. n/2], as FFTW's real-to-complex transform gives.
  transform->SetFlag(Transform::HalfSpectrum);
  plan_ = transform;
}

RealFft::~RealFft() {
  delete static_cast<Transform*>(plan_);
  delete[] in_;
  delete[] out_;
}

void RealFft::execute() {
  static_cast<Transform*>(plan_)->fwd(out_, in_, static_cast<Eigen::Index>(n_));
}

void RealFft::powers(double* out) {
  execute();
  for (std::size_t k = 0; k <= n_ / 2; ++k) out[k] = std::norm(out_[k]);
}

}  // namespace media
