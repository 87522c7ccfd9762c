#include "velmysql/rtl/formatsettings.h"

#include <mutex>

namespace velmysql {

namespace {

std::mutex& SettingsLock() {
    static std::mutex m;
    return m;
}

TFormatSettings& SharedSettings() {
    static TFormatSettings s;
    return s;
}

}  // namespace

TDateOrder GetDateOrder(const std::string& shortDateFormat) {
    for (char c : shortDateFormat) {
        switch (c) {
            case 'd': case 'D': return TDateOrder::doDMY;
            case 'e': case 'E': case 'y': case 'Y': return TDateOrder::doYMD;
            case 'm': case 'M': return TDateOrder::doMDY;
            default: break;
        }
    }
    return TDateOrder::doMDY;
}

TFormatSettings FormatSettings() {
    std::lock_guard<std::mutex> g(SettingsLock());
    return SharedSettings();
}

void SetFormatSettings(const TFormatSettings& settings) {
    std::lock_guard<std::mutex> g(SettingsLock());
    SharedSettings() = settings;
}

}  // namespace velmysql
