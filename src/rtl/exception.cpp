#include "velmysql/rtl/exception.h"

namespace velmysql {

void Abort() { throw EAbort(); }

}  // namespace velmysql
