#include "velmysql/textutil/strutils.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace velmysql {

namespace {

// Membership table for a character set given as a text.
class CharSet {
public:
    explicit CharSet(const std::string& chars) {
        for (char c : chars) in_[static_cast<unsigned char>(c)] = true;
    }
    bool Has(char c) const { return in_[static_cast<unsigned char>(c)]; }

private:
    std::array<bool, 256> in_{};
};

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

std::string FoldText(const std::string& s) {
    std::string r = s;
    for (char& c : r) c = Fold(c);
    return r;
}

// Start (0-based) and length of the N-th word; false when there is none.
bool FindWord(uint8_t n, const std::string& s, const CharSet& seps, std::size_t& start, std::size_t& len) {
    if (n == 0) return false;
    int count = 0;
    std::size_t i = 0;
    const std::size_t end = s.size();
    while (i < end) {
        while (i < end && seps.Has(s[i])) ++i;
        if (i == end) break;
        const std::size_t b = i;
        while (i < end && !seps.Has(s[i])) ++i;
        if (++count == n) {
            start = b;
            len = i - b;
            return true;
        }
    }
    return false;
}

bool OnlyOf(const std::string& s, bool allowDot) {
    if (s.empty()) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || (allowDot && c == '.'))) return false;
    return true;
}

}  // namespace

std::string IFStr(bool cond, const std::string& a, const std::string& b) { return cond ? a : b; }

std::string ZeroFilled(const std::string& s, int width) {
    if (width <= 0) return std::string();
    const auto w = static_cast<std::size_t>(width);
    if (s.size() < w) return std::string(w - s.size(), '0') + s;
    return s.substr(0, w);
}

std::unique_ptr<TStringList> VelCommaText(const std::string& s) {
    auto list = std::make_unique<TStringList>();
    const std::size_t end = std::min(s.size(), s.find('\0'));
    auto blank = [&](std::size_t i) {
        const auto c = static_cast<unsigned char>(s[i]);
        return c >= 1 && c <= 32;
    };
    std::size_t p = 0;
    while (p < end && blank(p)) ++p;
    while (p < end) {
        std::string item;
        if (s[p] == '"') {
            ++p;
            while (p < end) {
                if (s[p] == '"') {
                    if (p + 1 < end && s[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += s[p++];
            }
        } else {
            const std::size_t b = p;
            while (p < end && static_cast<unsigned char>(s[p]) >= 32 && s[p] != ',') ++p;
            item = s.substr(b, p - b);
        }
        list->Add(item);
        while (p < end && blank(p)) ++p;
        if (p < end && s[p] == ',') {
            ++p;
            while (p < end && blank(p)) ++p;
        }
    }
    return list;
}

std::string PreStrClean(const std::string& s, const std::string& chars) {
    if (s.empty() || chars.empty()) return s;
    const CharSet set(chars);
    std::size_t i = 0;
    while (i < s.size() && set.Has(s[i])) ++i;
    return s.substr(i);
}

std::string PostStrClean(const std::string& s, const std::string& chars) {
    if (s.empty() || chars.empty()) return s;
    const CharSet set(chars);
    std::size_t n = s.size();
    while (n > 0 && set.Has(s[n - 1])) --n;
    return s.substr(0, n);
}

std::string PrePostStrClean(const std::string& s, const std::string& chars) {
    return PostStrClean(PreStrClean(s, chars), chars);
}

std::string InStrClean(const std::string& s, const std::string& chars) {
    if (s.empty() || chars.empty()) return s;
    const CharSet set(chars);
    std::string r;
    r.reserve(s.size());
    for (char c : s)
        if (!set.Has(c)) r += c;
    return r;
}

std::string FieldInStr(uint8_t n, const std::string& s, const std::string& delim, const std::string& trimChars) {
    std::string rest = s;
    // An empty delimiter never occurs: the whole text is the one field.
    auto find = [&](const std::string& t) { return delim.empty() ? std::string::npos : t.find(delim); };
    for (int i = 1; i < n; ++i) {
        const std::size_t p = find(rest);
        if (p == std::string::npos) break;  // past the last field the last one stays
        rest.erase(0, p + 1);
    }
    const std::size_t p = find(rest);
    if (p != std::string::npos) rest.resize(p);
    return trimChars.empty() ? rest : PrePostStrClean(rest, trimChars);
}

std::string WordInStr(uint8_t n, const std::string& s, const std::string& seps) {
    std::size_t start = 0, len = 0;
    if (!FindWord(n, s, CharSet(seps), start, len)) return std::string();
    return s.substr(start, len);
}

void ChangeWordInStr(uint8_t n, std::string& s, const std::string& newWord, const std::string& seps) {
    if (n == 0) return;
    std::size_t start = 0, len = 0;
    if (FindWord(n, s, CharSet(seps), start, len)) {
        s.replace(start, len, newWord);
        return;
    }
    const std::size_t at = std::min<std::size_t>(n - 1u, s.size());
    s.insert(at, newWord);
}

std::string OneStr(const std::string& s, const std::string& chars) {
    const CharSet set(chars);
    std::string r = s;
    for (char& c : r)
        if (set.Has(c)) c = ' ';
    return r;
}

std::string ReplaceSubStr(const std::string& s, const std::string& chars, const std::string& repl) {
    const CharSet set(chars);
    std::string r;
    r.reserve(s.size());
    for (char c : s) {
        if (set.Has(c))
            r += repl;
        else
            r += c;
    }
    return r;
}

int CountSubStr(const std::string& s, const std::string& sub) {
    if (s.empty() || sub.empty()) return 0;
    std::string text = FoldText(s);
    const std::string pattern = FoldText(sub);
    int count = 0;
    // After removing the first occurrence at p, no occurrence can start before
    // p - |sub| + 1: one there would lie wholly in the untouched prefix, which held none.
    std::size_t from = 0;
    for (;;) {
        const std::size_t p = text.find(pattern, from);
        if (p == std::string::npos) break;
        text.erase(p, pattern.size());
        ++count;
        from = p >= pattern.size() - 1 ? p - (pattern.size() - 1) : 0;
    }
    return count;
}

std::string GetWord(const std::string& s, const std::string& sep, int n) {
    if (s.empty() || sep.empty()) return std::string();
    if (n < 1) n = 1;
    if (n > 1 && s.find(sep) == std::string::npos) return std::string();
    std::size_t from = 0;
    for (int i = 1; i < n; ++i) {
        const std::size_t p = s.find(sep, from);
        if (p == std::string::npos) return std::string();
        from = p + sep.size();
        if (from >= s.size()) return std::string();
    }
    const std::size_t p = s.find(sep, from);
    return s.substr(from, p == std::string::npos ? std::string::npos : p - from);
}

std::string GetStrWord(int n, const std::string& s, const std::string& sep) { return GetWord(s, sep, n); }

std::string GetPrefixWord(int n, const std::string& s, const std::string& sep) {
    if (s.empty() || sep.empty() || n < 1) return std::string();
    if (n > 1 && s.find(sep) == std::string::npos) return s;
    std::size_t from = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t p = s.find(sep, from);
        if (p == std::string::npos) return s;  // ran out of separators: all of S
        from = p + sep.size();
    }
    // from is just past the N-th separator; cut that separator off.
    return s.substr(0, from - sep.size());
}

bool IsValidInt(const std::string& s) { return OnlyOf(s, false); }

bool IsValidFloat(const std::string& s) { return OnlyOf(s, true); }

}  // namespace velmysql
