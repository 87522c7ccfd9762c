#pragma once
// Registration of the data-access classes for form streaming.

namespace velmysql {

// Registers the field classes and TDataSource with the class registry so that a form
// reader can create them by name. Safe to call more than once; a dataset's constructor
// calls it.
void RegisterDataAccessClasses();

}  // namespace velmysql
