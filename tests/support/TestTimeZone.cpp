// Every test here reads local dates in one fixed zone with daylight-saving time, whatever the
// machine's own zone is.
#include <cstdlib>
#include <ctime>

namespace {
struct FixedTimeZone {
    FixedTimeZone() {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
} fixedTimeZone;
} // namespace
