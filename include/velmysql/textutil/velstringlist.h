#pragma once
// A string list whose text form uses a configurable line separator.

#include <string>

#include "velmysql/rtl/strings.h"

namespace velmysql {

class TVelStringList : public TStringList {
public:
    TVelStringList() = default;

    const std::string& LineSeparator() const { return lineSeparator_; }
    void SetLineSeparator(const std::string& separator) { lineSeparator_ = separator; }

    // Every line followed by LineSeparator, concatenated.
    std::string GetText() const override;
    // Clears the list and reads the text up to its first NUL. A line ends at any
    // character of LineSeparator and every following such character is skipped, so a
    // run of them is one break and blank lines vanish; a text that starts with one gives
    // an empty first line. With an empty LineSeparator the text is one line.
    void SetTextStr(const std::string& text) override;

private:
    std::string lineSeparator_ = "\r\n";
};

}  // namespace velmysql
