#include "support/TestSupport.h"

#include <cstdlib>
#include <ctime>

namespace korvane::test {

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  if (const char* old = std::getenv("TZ")) {
    previous_ = old;
    had_ = true;
  }
  setenv("TZ", zone, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (had_) setenv("TZ", previous_.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}

}  // namespace korvane::test
