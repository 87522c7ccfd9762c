#pragma once
// The application's exception handler: where a component sends an exception that must
// not escape (an error while a form is loaded in a design tool, a failure inside a
// handler that runs from a message loop).
//
// HandleException is called inside a catch block. Without an installed handler it shows
// the exception's message in an error box through the dialog service; the silent abort
// (EAbort) is never shown.

#include <exception>
#include <functional>

namespace velmysql {

using TExceptionHandler = std::function<void(std::exception_ptr E)>;

// Installs Handler (empty: the default) and answers the previous one. Process-wide.
TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler Handler);

// Hands the exception being handled to the application's handler.
void HandleException();

}  // namespace velmysql
