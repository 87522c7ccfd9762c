#pragma once
// The tokenizer settings the dataset reads its templates with (private to the dataset
// area): placeholders are bracket tokens between the delimiters and parameter tokens
// after ":"; strings, backquoted names and comments are single tokens.

#include <string>

#include "velmysql/parser/basic_parser.h"
#include "velmysql/parser/script.h"

namespace velmysql::templateparser {

// The script reader's markers (operators, hex prefix, comments, ":" parameters), with
// the dataset's delimiters as the bracket markers.
inline void Configure(TBasicParser& parser, const std::string& open, const std::string& close) {
    ConfigureScriptParser(parser);
    parser.BracketBegins().SetCommaText(open);
    parser.BracketEnds().SetCommaText(close);
}

}  // namespace velmysql::templateparser
