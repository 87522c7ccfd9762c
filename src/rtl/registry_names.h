#pragma once
// Registered streaming names by C++ type, shared between the class registry and
// TObject::ClassName.

#include <string>
#include <typeindex>
#include <typeinfo>

namespace velmysql {

// The registered name of Type, or null when Type is not registered.
const std::string* RegisteredClassName(const std::type_info& Type);
// Records Name for Type; the first name recorded for a type stays.
void RememberClassName(std::type_index Type, const std::string& Name);

}  // namespace velmysql
