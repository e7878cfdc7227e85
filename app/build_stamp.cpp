#include "app/build_stamp.h"

// The compiler takes __DATE__ and __TIME__ from SOURCE_DATE_EPOCH when it is
// set, so a reproducible build gets a reproducible stamp.
namespace lorvex {

const char build_date[] = __DATE__;
const char build_time[] = __TIME__;
const char home_url[] = LORVEX_HOME_URL;

}  // namespace lorvex
