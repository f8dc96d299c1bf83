// One real-to-complex FFT of a fixed size with its own buffers, for code that transforms many
// frames of one length. Natively it is an FFTW plan (real_fft.cpp): FFTW's planner is not
// thread-safe, so every plan is made and destroyed under one lock, while executing a plan is
// thread-safe. The web build has no FFTW and uses Eigen's FFT behind the same class
// (real_fft_portable.cpp).
#pragma once

#include <complex>
#include <cstddef>
#include <mutex>

namespace media {

std::mutex& fftwPlannerLock();

class RealFft {
 public:
  explicit RealFft(std::size_t n);
  ~RealFft();
  RealFft(const RealFft&) = delete;
  RealFft& operator=(const RealFft&) = delete;

  std::size_t size() const { return n_; }
  // n samples to fill before execute().
  double* input() { return in_; }
  // Transforms the input: X[k] = sum x[j] e^(-2 pi i jk/n) for k = 0 .. n/2, unnormalised.
  void execute();
  // X[0 .. n/2] of the last execute().
  const std::complex<double>* spectrum() const { return out_; }
  // |X[k]|^2 for k = 0 .. n/2, after transforming the input.
  void powers(double* out);

 private:
  std::size_t n_;
  double* in_;
  std::complex<double>* out_;  // fftw_complex storage, which is layout-compatible
  void* plan_;
};

}  // namespace media
