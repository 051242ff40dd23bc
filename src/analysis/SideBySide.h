// Two independent pieces of work, the second on a thread of its own when asked.
#pragma once
#include <exception>
#include <system_error>
#include <thread>

namespace korvane {

// Runs `first` here and `second` on a second thread when `both`, else one after the other
// here (also when no thread is to be had). Returns once both are done; a failure of either
// (memory running out, say) reaches the caller once the other has ended, never ending the
// program.
template <class First, class Second>
void RunSideBySide(bool both, First&& first, Second&& second) {
  std::exception_ptr secondFailure;
  std::thread other;
  if (both) {
    try {
      other = std::thread([&] {
        try {
          second();
        } catch (...) {
          secondFailure = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      both = false;
    }
  }
  try {
    first();
  } catch (...) {
    if (other.joinable()) other.join();
    throw;
  }
  if (!both) {
    second();
    return;
  }
  other.join();
  if (secondFailure) std::rethrow_exception(secondFailure);
}

}  // namespace korvane
