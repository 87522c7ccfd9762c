#pragma once
// The framework's exception classes. Every exception the library raises derives from
// Exception, whose Message() is the text shown to the user.

#include <exception>
#include <string>

namespace velmysql {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// The silent abort: ends an operation without an error being shown.
class EAbort : public Exception {
public:
    explicit EAbort(std::string message = "Operation aborted") : Exception(std::move(message)) {}
};

// A text that is not a number, date or time of the expected form.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Raises EAbort.
[[noreturn]] void Abort();

}  // namespace velmysql
