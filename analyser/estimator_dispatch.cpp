#include "estimator_dispatch.h"

namespace analyser {

const CpuFeatures& cpuFeatures() {
  static const CpuFeatures features = [] {
    CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    f.avx2 = __builtin_cpu_supports("avx2");
    f.fma = __builtin_cpu_supports("fma");
    f.avx512f = __builtin_cpu_supports("avx512f");
    f.avx512bw = __builtin_cpu_supports("avx512bw");
    f.avx512dq = __builtin_cpu_supports("avx512dq");
    f.avx512vl = __builtin_cpu_supports("avx512vl");
    f.avx512vnni = __builtin_cpu_supports("avx512vnni");
#endif
    return f;
  }();
  return features;
}

kernels::CoarseKernelFn coarseKernel(CoarsePath path) {
  const CpuFeatures& cpu = cpuFeatures();
  switch (path) {
    case CoarsePath::Portable:
      return &kernels::coarseSumsPortable;
    case CoarsePath::Avx2:
      return cpu.avx2 ? kernels::coarseSumsAvx2Kernel() : nullptr;
    case CoarsePath::Avx512:
      return cpu.avx512f && cpu.avx512bw ? kernels::coarseSumsAvx512Kernel() : nullptr;
    case CoarsePath::Avx512Vnni:
      return cpu.avx512f && cpu.avx512bw && cpu.avx512vnni ? kernels::coarseSumsAvx512VnniKernel()
                                                           : nullptr;
    case CoarsePath::WasmSimd:
      // Every engine that runs WebAssembly SIMD code runs all of it: no run-time check.
      return kernels::coarseSumsWasmSimdKernel();
    case CoarsePath::Reference:
      break;
  }
  return nullptr;
}

kernels::PruningKernels pruningKernels(CoarsePath path) {
  const CpuFeatures& cpu = cpuFeatures();
  switch (path) {
    case CoarsePath::Portable:
      return kernels::pruningKernelsPortable();
    case CoarsePath::Avx512Vnni:
      return cpu.avx512f && cpu.avx512bw && cpu.avx512vnni ? kernels::pruningKernelsAvx512Vnni()
                                                           : kernels::PruningKernels{};
    case CoarsePath::WasmSimd:
      return kernels::pruningKernelsWasmSimd();
    default:
      break;
  }
  return {};
}

kernels::FineKernels fineKernels(FinePath path) {
  const CpuFeatures& cpu = cpuFeatures();
  switch (path) {
    case FinePath::Portable:
      return kernels::fineKernelsPortable();
    case FinePath::Avx2:
      return cpu.avx2 && cpu.fma ? kernels::fineKernelsAvx2() : kernels::FineKernels{};
    case FinePath::Avx512:
      return cpu.avx512f && cpu.avx512vl && cpu.fma ? kernels::fineKernelsAvx512()
                                                    : kernels::FineKernels{};
    case FinePath::Reference:
      break;
  }
  return {};
}

bool coarsePathAvailable(CoarsePath path) {
  return path == CoarsePath::Reference || coarseKernel(path) != nullptr;
}

bool finePathAvailable(FinePath path) {
  return path == FinePath::Reference || fineKernels(path).rotation != nullptr;
}

CoarsePath bestCoarsePath() {
  for (CoarsePath p :
       {CoarsePath::Avx512Vnni, CoarsePath::Avx512, CoarsePath::Avx2, CoarsePath::WasmSimd}) {
    if (coarsePathAvailable(p)) return p;
  }
  return CoarsePath::Portable;
}

FinePath bestFinePath() {
  for (FinePath p : {FinePath::Avx512, FinePath::Avx2}) {
    if (finePathAvailable(p)) return p;
  }
  return FinePath::Portable;
}

const char* pathName(CoarsePath path) {
  switch (path) {
    case CoarsePath::Reference:
      return "reference";
    case CoarsePath::Portable:
      return "portable";
    case CoarsePath::Avx2:
      return "avx2";
    case CoarsePath::Avx512:
      return "avx512bw";
    case CoarsePath::Avx512Vnni:
      return "avx512vnni";
    case CoarsePath::WasmSimd:
      return "wasm-simd128";
  }
  return "?";
}

const char* pathName(FinePath path) {
  switch (path) {
    case FinePath::Reference:
      return "reference";
    case FinePath::Portable:
      return "recurrence";
    case FinePath::Avx2:
      return "recurrence-avx2-fma";
    case FinePath::Avx512:
      return "recurrence-avx512vl";
  }
  return "?";
}

}  // namespace analyser
