#pragma once
// The data-access framework's error: every failure of a database component is an
// EDatabaseError or one of its descendants.

#include "velmysql/rtl/exception.h"

namespace velmysql {

class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace velmysql
