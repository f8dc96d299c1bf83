// What the partial extraction calls around every frame estimate: the progress display times
// the estimate, refreshes its remaining-time label and lets window messages through.
#pragma once

#include <cstdint>

namespace analyser {

enum class FrameAnswer { Continue, Cancel };

class ProgressHook {
 public:
  virtual ~ProgressHook() = default;
  // Just before the estimate of one frame starts.
  virtual void beginFrame() = 0;
  // Right after the estimate of frame `frame`, slot `slot`, pass `pass` has been stored.
  virtual FrameAnswer endFrame(int pass, int slot, int32_t frame) = 0;
  // Called between beginFrame and endFrame by an extraction whose estimates are computed ahead
  // on worker threads: the effective duration of this frame's estimate in microseconds (the
  // time spent per finished estimate). A hook that times its frames uses it instead of the
  // time between beginFrame and endFrame, which then only measures waiting.
  virtual void effectiveFrameMicros(double micros) { (void)micros; }
  // Called by an extraction that prepares a slot pass on worker threads (rebuilding the
  // residual) at the start of that work and every few milliseconds until it ends, between two
  // frames: the hook may let window messages through. Cancel stops the extraction there.
  virtual FrameAnswer waiting() { return FrameAnswer::Continue; }
};

}  // namespace analyser
