#include "velmysql/rtl/strings.h"

#include <algorithm>
#include <cstddef>
#include <numeric>

namespace velmysql {

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

namespace {

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

int CompareBytes(const std::string& a, const std::string& b, bool foldCase) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (foldCase) {
            ca = FoldAscii(ca);
            cb = FoldAscii(cb);
        }
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

// Whether an item must be quoted to survive a round trip through delimited text.
bool NeedsQuotes(const std::string& s, char delimiter, char quote, bool strict) {
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (ch == delimiter || ch == quote || c < 32 || c == 127) return true;
        if (c == ' ' && !strict) return true;
    }
    return false;
}

std::string Quoted(const std::string& s, char quote) {
    std::string r(1, quote);
    for (char ch : s) {
        r += ch;
        if (ch == quote) r += quote;
    }
    r += quote;
    return r;
}

}  // namespace

// ---------------------------------------------------------------- TStrings

void TStrings::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TStrings::InsertObject(int index, const std::string& s, void* object) {
    Insert(index, s);
    SetObjects(index, object);
}

int TStrings::Add(const std::string& s) {
    const int index = Count();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const std::string& s, void* object) {
    const int index = Add(s);
    SetObjects(index, object);
    return index;
}

void TStrings::AddStrings(const TStrings& source) {
    // A snapshot keeps AddStrings(*this) finite.
    const int n = source.Count();
    std::vector<std::pair<std::string, void*>> copy;
    copy.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) copy.emplace_back(source.Strings(i), source.Objects(i));
    BeginUpdate();
    try {
        for (auto& [s, o] : copy) AddObject(s, o);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Assign(const TStrings& source) {
    if (&source == this) return;
    delimiter_ = source.delimiter_;
    quoteChar_ = source.quoteChar_;
    strictDelimiter_ = source.strictDelimiter_;
    nameValueSeparator_ = source.nameValueSeparator_;
    BeginUpdate();
    try {
        Clear();
        AddStrings(source);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

bool TStrings::Equals(const TStrings& other) const {
    const int n = Count();
    if (n != other.Count()) return false;
    for (int i = 0; i < n; ++i)
        if (Strings(i) != other.Strings(i)) return false;
    return true;
}

void TStrings::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    if (index1 == index2) return;
    BeginUpdate();
    std::string s1 = Strings(index1);
    void* o1 = Objects(index1);
    SetStrings(index1, Strings(index2));
    SetObjects(index1, Objects(index2));
    SetStrings(index2, s1);
    SetObjects(index2, o1);
    EndUpdate();
}

void TStrings::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    BeginUpdate();
    std::string s = Strings(curIndex);
    void* o = Objects(curIndex);
    Delete(curIndex);
    InsertObject(newIndex, s, o);
    EndUpdate();
}

int TStrings::CompareStrings(const std::string& a, const std::string& b) const {
    return CompareBytes(a, b, !CaseSensitive());
}

int TStrings::IndexOf(const std::string& s) const {
    const int n = Count();
    for (int i = 0; i < n; ++i)
        if (CompareStrings(Strings(i), s) == 0) return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        const std::string line = Strings(i);
        const auto p = line.find(nameValueSeparator_);
        if (p != std::string::npos && CompareStrings(line.substr(0, p), name) == 0) return i;
    }
    return -1;
}

int TStrings::IndexOfObject(const void* object) const {
    const int n = Count();
    for (int i = 0; i < n; ++i)
        if (Objects(i) == object) return i;
    return -1;
}

std::string TStrings::GetText() const {
    std::string r;
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        r += Strings(i);
        r += "\r\n";
    }
    return r;
}

void TStrings::SetTextStr(const std::string& text) {
    BeginUpdate();
    try {
        Clear();
        std::size_t p = 0;
        const std::size_t end = text.size();
        while (p < end) {
            const std::size_t start = p;
            while (p < end && text[p] != '\r' && text[p] != '\n') ++p;
            Add(text.substr(start, p - start));
            if (p < end && text[p] == '\r') ++p;
            if (p < end && text[p] == '\n') ++p;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::string TStrings::FormatDelimited(char delimiter, char quote, bool strict) const {
    const int n = Count();
    if (n == 1 && Strings(0).empty()) return std::string(2, quote);
    std::string r;
    for (int i = 0; i < n; ++i) {
        if (i > 0) r += delimiter;
        const std::string s = Strings(i);
        r += NeedsQuotes(s, delimiter, quote, strict) ? Quoted(s, quote) : s;
    }
    return r;
}

void TStrings::ParseDelimited(const std::string& text, char delimiter, char quote, bool strict) {
    // Reading ends at the first NUL, as the text form always has.
    const std::size_t end = std::min(text.size(), text.find('\0'));
    auto skipBlanks = [&](std::size_t& p) {
        if (strict) return;
        while (p < end && static_cast<unsigned char>(text[p]) >= 1 && static_cast<unsigned char>(text[p]) <= ' ') ++p;
    };
    BeginUpdate();
    try {
        Clear();
        std::size_t p = 0;
        skipBlanks(p);
        while (p < end) {
            std::string item;
            if (text[p] == quote) {
                ++p;
                while (p < end) {
                    if (text[p] == quote) {
                        if (p + 1 < end && text[p + 1] == quote) {
                            item += quote;
                            p += 2;
                            continue;
                        }
                        ++p;
                        break;
                    }
                    item += text[p++];
                }
            } else {
                const std::size_t start = p;
                while (p < end && text[p] != delimiter && (strict || static_cast<unsigned char>(text[p]) > ' ')) ++p;
                item = text.substr(start, p - start);
            }
            Add(item);
            skipBlanks(p);
            if (strict)
                // Text after a closing quote up to the delimiter belongs to no item.
                while (p < end && text[p] != delimiter) ++p;
            if (p < end && text[p] == delimiter) {
                // A delimiter at the very end stands for one more, empty item.
                if (p + 1 == end) Add(std::string());
                ++p;
                skipBlanks(p);
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::string TStrings::DelimitedText() const { return FormatDelimited(delimiter_, quoteChar_, strictDelimiter_); }

void TStrings::SetDelimitedText(const std::string& text) {
    ParseDelimited(text, delimiter_, quoteChar_, strictDelimiter_);
}

std::string TStrings::CommaText() const { return FormatDelimited(',', '"', false); }

void TStrings::SetCommaText(const std::string& text) { ParseDelimited(text, ',', '"', false); }

std::string TStrings::Names(int index) const {
    const std::string line = Strings(index);
    const auto p = line.find(nameValueSeparator_);
    return p == std::string::npos ? std::string() : line.substr(0, p);
}

std::string TStrings::ValueFromIndex(int index) const {
    const std::string line = Strings(index);
    const auto p = line.find(nameValueSeparator_);
    return p == std::string::npos ? std::string() : line.substr(p + 1);
}

void TStrings::SetValueFromIndex(int index, const std::string& value) {
    SetStrings(index, Names(index) + nameValueSeparator_ + value);
}

std::string TStrings::Values(const std::string& name) const {
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValue(const std::string& name, const std::string& value) {
    const int i = IndexOfName(name);
    if (!value.empty()) {
        const std::string line = name + nameValueSeparator_ + value;
        if (i < 0)
            Add(line);
        else
            SetStrings(i, line);
    } else if (i >= 0) {
        Delete(i);
    }
}

void TStrings::BeginUpdate() {
    if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0) SetUpdateState(false);
}

// ---------------------------------------------------------------- TStringList

TStringList::TStringList(const TStringList& other)
    : TStrings(other),
      items_(other.items_),
      sorted_(other.sorted_),
      caseSensitive_(other.caseSensitive_),
      duplicates_(other.duplicates_) {}

TStringList& TStringList::operator=(const TStringList& other) {
    if (this == &other) return *this;
    sorted_ = false;
    caseSensitive_ = other.caseSensitive_;
    duplicates_ = other.duplicates_;
    Assign(other);
    sorted_ = other.sorted_;
    return *this;
}

void TStringList::SetUpdateState(bool updating) {
    // Called while the bracket count is already non-zero or just back at zero; the
    // bracket's own events fire here regardless.
    if (updating) {
        if (onChanging_) onChanging_(*this);
    } else if (onChange_) {
        onChange_(*this);
    }
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && onChanging_) onChanging_(*this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && onChange_) onChange_(*this);
}

std::string TStringList::Strings(int index) const { return Line(index); }

const std::string& TStringList::Line(int index) const {
    CheckIndex(index);
    return items_[static_cast<std::size_t>(index)].text;
}

void TStringList::SetStrings(int index, const std::string& s) {
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    CheckIndex(index);
    Changing();
    items_[static_cast<std::size_t>(index)].text = s;
    Changed();
}

void* TStringList::Objects(int index) const {
    CheckIndex(index);
    return items_[static_cast<std::size_t>(index)].object;
}

void TStringList::SetObjects(int index, void* object) {
    CheckIndex(index);
    Changing();
    items_[static_cast<std::size_t>(index)].object = object;
    Changed();
}

void TStringList::InsertItem(int index, std::string s, void* object) {
    Changing();
    items_.insert(items_.begin() + index, Item{std::move(s), object});
    Changed();
}

bool TStringList::SortedPlace(const std::string& s, int& index) const {
    if (Find(s, index)) {
        if (duplicates_ == dupIgnore) return false;
        if (duplicates_ == dupError) throw EStringListError("String list does not allow duplicates");
    }
    return true;
}

int TStringList::Add(const std::string& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const std::string& s, void* object) {
    int index = Count();
    if (!sorted_ || SortedPlace(s, index)) InsertItem(index, s, object);
    return index;
}

int TStringList::AddMoved(std::string&& s) {
    int index = Count();
    if (!sorted_ || SortedPlace(s, index)) InsertItem(index, std::move(s), nullptr);
    return index;
}

void TStringList::Insert(int index, const std::string& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, const std::string& s, void* object) {
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    if (index < 0 || index > Count())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    InsertItem(index, s, object);
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    Changing();
    items_.erase(items_.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (items_.empty()) return;
    Changing();
    items_.clear();
    Changed();
}

void TStringList::Exchange(int index1, int index2) {
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    CheckIndex(index1);
    CheckIndex(index2);
    Changing();
    std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
    Changed();
}

void TStringList::Move(int curIndex, int newIndex) {
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    if (curIndex == newIndex) return;
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    Changing();
    Item it = std::move(items_[static_cast<std::size_t>(curIndex)]);
    items_.erase(items_.begin() + curIndex);
    items_.insert(items_.begin() + newIndex, std::move(it));
    Changed();
}

int TStringList::IndexOf(const std::string& s) const {
    if (!sorted_) return TStrings::IndexOf(s);
    int index = 0;
    return Find(s, index) ? index : -1;
}

std::string TStringList::GetText() const {
    // Sized once: the text of a long script is built without regrowing.
    std::size_t size = 0;
    for (const Item& item : items_) size += item.text.size() + 2;
    std::string r;
    r.reserve(size);
    for (const Item& item : items_) {
        r += item.text;
        r += "\r\n";
    }
    return r;
}

bool TStringList::Find(const std::string& s, int& index) const {
    int lo = 0, hi = Count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (CompareStrings(items_[static_cast<std::size_t>(mid)].text, s) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    index = lo;
    return lo < Count() && CompareStrings(items_[static_cast<std::size_t>(lo)].text, s) == 0;
}

void TStringList::Sort() {
    if (items_.size() < 2) return;
    Changing();
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const Item& a, const Item& b) { return CompareStrings(a.text, b.text) < 0; });
    Changed();
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
    if (items_.size() < 2) return;
    // Sort a permutation so that the comparison sees the list as it was.
    std::vector<int> order(items_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
    Changing();
    std::vector<Item> sortedItems;
    sortedItems.reserve(items_.size());
    for (int i : order) sortedItems.push_back(std::move(items_[static_cast<std::size_t>(i)]));
    items_ = std::move(sortedItems);
    Changed();
}

void TStringList::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    if (sorted) Sort();
    sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool on) {
    if (on == caseSensitive_) return;
    caseSensitive_ = on;
    if (sorted_) Sort();
}

}  // namespace velmysql
