#pragma once
// The framework's string lists. TStrings is the interface every list of lines offers
// (text forms, name=value access, delimited text); TStringList holds the lines itself,
// optionally sorted, each line with an associated object pointer (borrowed, never
// freed by the list).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "velmysql/rtl/exception.h"

namespace velmysql {

// Equal ignoring the case of the ASCII letters only (bytes above 127 compare as they are).
bool SameText(std::string_view a, std::string_view b);

// Misuse of a string list: an index out of range, a duplicate in a list that forbids
// them, an insertion at a position into a sorted list.
class EStringListError : public Exception {
public:
    using Exception::Exception;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };
using TDuplicates::dupAccept;
using TDuplicates::dupError;
using TDuplicates::dupIgnore;

class TStrings {
public:
    virtual ~TStrings() = default;

    // The primitive operations a concrete list provides.
    virtual int Count() const = 0;
    virtual std::string Strings(int index) const = 0;
    virtual void SetStrings(int index, const std::string& s) = 0;
    virtual void* Objects(int index) const = 0;
    virtual void SetObjects(int index, void* object) = 0;
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void InsertObject(int index, const std::string& s, void* object);
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    std::string operator[](int index) const { return Strings(index); }

    // Appends (or, in a sorted list, inserts in order) and answers the line's index.
    virtual int Add(const std::string& s);
    virtual int AddObject(const std::string& s, void* object);
    // Add for a text the caller gives up: a list that stores its lines keeps the string
    // itself instead of copying it. s is left in a valid but unspecified state.
    virtual int AddMoved(std::string&& s) { return Add(s); }
    void Append(const std::string& s) { Add(s); }
    void AddStrings(const TStrings& source);
    // Replaces the lines (and objects) with those of source; also takes over its
    // delimiter, quote character and name/value separator.
    virtual void Assign(const TStrings& source);
    // Same number of lines with the same texts (letter case counts, objects do not).
    bool Equals(const TStrings& other) const;
    virtual void Exchange(int index1, int index2);
    virtual void Move(int curIndex, int newIndex);

    virtual int IndexOf(const std::string& s) const;
    int IndexOfName(const std::string& name) const;
    int IndexOfObject(const void* object) const;

    // Every line followed by CR LF. Setting splits at CR, LF or CR LF; a final line
    // break makes no empty line at the end; a NUL is an ordinary character.
    std::string Text() const { return GetText(); }
    void SetText(const std::string& text) { SetTextStr(text); }
    virtual std::string GetText() const;
    virtual void SetTextStr(const std::string& text);

    // Items joined with the delimiter; an item holding a blank, a control character,
    // the delimiter or the quote character is quoted, with inner quotes doubled. A list
    // of one empty line gives two quote characters so that it reads back as one line.
    std::string DelimitedText() const;
    // Reads items separated by the delimiter; outside quotes, blanks and control
    // characters also end an item unless StrictDelimiter is set. Reading stops at NUL.
    // A delimiter at the very end adds one empty item.
    void SetDelimitedText(const std::string& text);
    // Delimited text with "," and the double quote, whatever Delimiter and QuoteChar are.
    std::string CommaText() const;
    void SetCommaText(const std::string& text);

    char Delimiter() const { return delimiter_; }
    void SetDelimiter(char c) { delimiter_ = c; }
    char QuoteChar() const { return quoteChar_; }
    void SetQuoteChar(char c) { quoteChar_ = c; }
    bool StrictDelimiter() const { return strictDelimiter_; }
    void SetStrictDelimiter(bool on) { strictDelimiter_ = on; }
    char NameValueSeparator() const { return nameValueSeparator_; }
    void SetNameValueSeparator(char c) { nameValueSeparator_ = c; }

    // name=value lines. Names are compared as CompareStrings does (without letter case
    // unless the list is case sensitive); the first matching line counts.
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    void SetValueFromIndex(int index, const std::string& value);
    std::string Values(const std::string& name) const;
    // A non-empty value replaces or adds the line; an empty value removes it.
    void SetValue(const std::string& name, const std::string& value);
    void SetValues(const std::string& name, const std::string& value) { SetValue(name, value); }

    // Change brackets: nested calls count; OnChanging fires when the outermost bracket
    // opens and OnChange when it closes, instead of once per change.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    virtual bool CaseSensitive() const { return false; }
    // Negative, zero or positive as a sorts before, equal to or after b.
    virtual int CompareStrings(const std::string& a, const std::string& b) const;

protected:
    TStrings() = default;
    // Copies the text settings; an update bracket open on the source stays its own.
    TStrings(const TStrings& other)
        : delimiter_(other.delimiter_),
          quoteChar_(other.quoteChar_),
          strictDelimiter_(other.strictDelimiter_),
          nameValueSeparator_(other.nameValueSeparator_) {}
    TStrings& operator=(const TStrings&) = delete;

    // Called by BeginUpdate/EndUpdate when the outermost bracket opens or closes.
    virtual void SetUpdateState(bool updating) { (void)updating; }
    // Raises EStringListError for an index outside 0..Count()-1.
    void CheckIndex(int index) const;

private:
    std::string FormatDelimited(char delimiter, char quote, bool strict) const;
    void ParseDelimited(const std::string& text, char delimiter, char quote, bool strict);

private:
    char delimiter_ = ',';
    char quoteChar_ = '"';
    bool strictDelimiter_ = false;
    char nameValueSeparator_ = '=';
    int updateCount_ = 0;
};

class TStringList : public TStrings {
public:
    using TNotifyEvent = std::function<void(TStrings& sender)>;
    using TStringListSortCompare = std::function<int(const TStringList& list, int index1, int index2)>;

    TStringList() = default;
    // Copies lines, objects and settings; the event handlers stay with the original.
    TStringList(const TStringList& other);
    TStringList& operator=(const TStringList& other);
    ~TStringList() override = default;

    int Count() const override { return static_cast<int>(items_.size()); }
    std::string Strings(int index) const override;
    // Direct access to a stored line without a copy.
    const std::string& Line(int index) const;
    void SetStrings(int index, const std::string& s) override;
    void* Objects(int index) const override;
    void SetObjects(int index, void* object) override;
    int Add(const std::string& s) override;
    int AddObject(const std::string& s, void* object) override;
    int AddMoved(std::string&& s) override;
    void Insert(int index, const std::string& s) override;
    void InsertObject(int index, const std::string& s, void* object) override;
    void Delete(int index) override;
    void Clear() override;
    void Exchange(int index1, int index2) override;
    void Move(int curIndex, int newIndex) override;
    int IndexOf(const std::string& s) const override;
    std::string GetText() const override;

    // Binary search in a sorted list: true when found, index is then the first match,
    // otherwise the position where s would be inserted.
    bool Find(const std::string& s, int& index) const;
    void Sort();
    void CustomSort(const TStringListSortCompare& compare);

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates d) { duplicates_ = d; }
    bool CaseSensitive() const override { return caseSensitive_; }
    void SetCaseSensitive(bool on);

    const TNotifyEvent& OnChange() const { return onChange_; }
    void SetOnChange(TNotifyEvent handler) { onChange_ = std::move(handler); }
    const TNotifyEvent& OnChanging() const { return onChanging_; }
    void SetOnChanging(TNotifyEvent handler) { onChanging_ = std::move(handler); }

protected:
    void SetUpdateState(bool updating) override;
    // Fire the events unless an update bracket is open.
    virtual void Changing();
    virtual void Changed();

private:
    struct Item {
        std::string text;
        void* object = nullptr;
    };
    void InsertItem(int index, std::string s, void* object);
    // Where s goes in a sorted list by Duplicates rules: true with its insertion index,
    // or false with the index of the equal line that is kept instead.
    bool SortedPlace(const std::string& s, int& index) const;

    std::vector<Item> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    TDuplicates duplicates_ = dupIgnore;
    TNotifyEvent onChange_;
    TNotifyEvent onChanging_;
};

}  // namespace velmysql
