// Two independent pieces of work, the second on a thread of its own when asked.
#pragma once
#include <system_error>
#include <thread>

namespace korvane {

// Runs `first` here and `second` on a second thread when `both`, else one after the other
// here (also when no thread is to be had). Returns once both are done.
template <class First, class Second>
void RunSideBySide(bool both, First&& first, Second&& second) {
  std::thread other;
  if (both) {
    try {
      other = std::thread(second);
    } catch (const std::system_error&) {
      both = false;
    }
  }
  first();
  if (both) other.join();
  else second();
}

}  // namespace korvane
