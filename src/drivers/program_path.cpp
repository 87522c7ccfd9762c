#include "drivers/program_path.h"

#include <unistd.h>

#include <vector>

namespace velmysql::drivers_detail {

std::string ProgramPath() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramDirectory() {
    std::string path = ProgramPath();
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace velmysql::drivers_detail
