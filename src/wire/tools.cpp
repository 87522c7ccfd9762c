#include "velmysql/wire/tools.h"

namespace velmysql {

void XorBlock(const void* in1, const void* in2, void* out, std::size_t count) {
    auto a = static_cast<const unsigned char*>(in1);
    auto b = static_cast<const unsigned char*>(in2);
    auto o = static_cast<unsigned char*>(out);
    for (std::size_t i = 0; i < count; ++i) o[i] = static_cast<unsigned char>(a[i] ^ b[i]);
}

void IncBlock(void* block, std::size_t count) {
    auto p = static_cast<unsigned char*>(block);
    for (std::size_t i = count; i > 0; --i) {
        if (++p[i - 1] != 0) break;  // no carry
    }
}

}  // namespace velmysql
