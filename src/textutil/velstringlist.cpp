#include "velmysql/textutil/velstringlist.h"

#include <algorithm>

namespace velmysql {

std::string TVelStringList::GetText() const {
    std::string r;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        r += Line(i);
        r += lineSeparator_;
    }
    return r;
}

void TVelStringList::SetTextStr(const std::string& text) {
    const std::size_t end = std::min(text.size(), text.find('\0'));
    auto isSep = [&](char c) { return lineSeparator_.find(c) != std::string::npos; };
    BeginUpdate();
    try {
        Clear();
        std::size_t p = 0;
        while (p < end) {
            const std::size_t start = p;
            while (p < end && !isSep(text[p])) ++p;
            Add(text.substr(start, p - start));
            while (p < end && isSep(text[p])) ++p;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

}  // namespace velmysql
