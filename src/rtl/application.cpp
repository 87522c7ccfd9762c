#include "velmysql/rtl/application.h"

#include <mutex>
#include <utility>

#include "velmysql/rtl/dialogs.h"
#include "velmysql/rtl/exception.h"

namespace velmysql {

namespace {
std::mutex handlerLock;
TExceptionHandler& InstalledHandler() {
    static TExceptionHandler handler;
    return handler;
}
}  // namespace

TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler Handler) {
    std::lock_guard<std::mutex> lock(handlerLock);
    return std::exchange(InstalledHandler(), std::move(Handler));
}

void HandleException() {
    const std::exception_ptr current = std::current_exception();
    if (!current) return;
    TExceptionHandler handler;
    {
        std::lock_guard<std::mutex> lock(handlerLock);
        handler = InstalledHandler();
    }
    if (handler) {
        handler(current);
        return;
    }
    try {
        std::rethrow_exception(current);
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    } catch (...) {
        ShowErrorBox("Unknown exception");
    }
}

}  // namespace velmysql
