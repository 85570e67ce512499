// The grow-only work buffers of the processing runs, owned by the front end
// for its whole life: the test tone, the recording/result channels and the two
// spectrum buffers. Blocks are reallocated only when a larger size is needed.
#pragma once

namespace ravelin {

class TProcessWorkspace {
public:
  TProcessWorkspace();
  ~TProcessWorkspace();
  TProcessWorkspace(const TProcessWorkspace&) = delete;
  TProcessWorkspace& operator=(const TProcessWorkspace&) = delete;
};

} // namespace ravelin
