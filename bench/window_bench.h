#pragma once

#include <memory>

namespace tobrisk {

// W0: the window's Draw at start-up, through its own drawing area, on Qt's
// offscreen platform unless another is chosen. Registers the benchmark and
// holds the application object while it lives.
class WindowWorkload {
 public:
  WindowWorkload(int& argc, char** argv);
  ~WindowWorkload();
  WindowWorkload(const WindowWorkload&) = delete;
  WindowWorkload& operator=(const WindowWorkload&) = delete;

 private:
  struct Application;
  std::unique_ptr<Application> application_;
};

}  // namespace tobrisk
