#include "velmysql/wire/mysql_helpers.h"

namespace velmysql {

namespace {
// The escape character for a byte, or 0 when the byte is copied as it is.
char escapeOf(unsigned char c) {
    switch (c) {
        case 0: return '0';
        case 9: return 't';
        case 10: return 'n';
        case 13: return 'r';
        case '"': return '"';
        case '\'': return '\'';
        case '\\': return '\\';
        default: return 0;
    }
}
}  // namespace

std::string EscapeStr(std::string_view text) {
    size_t extra = 0;
    for (unsigned char c : text)
        if (escapeOf(c) != 0) ++extra;
    std::string out;
    out.reserve(text.size() + extra);
    for (unsigned char c : text) {
        char e = escapeOf(c);
        if (e != 0) {
            out.push_back('\\');
            out.push_back(e);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

}  // namespace velmysql
