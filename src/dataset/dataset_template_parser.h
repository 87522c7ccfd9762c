#pragma once
// The tokenizer settings the dataset reads its templates with (private to the dataset
// area): placeholders are bracket tokens between the delimiters and parameter tokens
// after ":"; strings, backquoted names and comments are single tokens.

#include <string>

#include "velmysql/parser/basic_parser.h"

namespace velmysql::templateparser {

// The operators: longer ones before their prefixes. Where "|" stands among markers that
// begin with other characters does not change a single token.
inline constexpr const char* kSymbols = "+,-,*,/,=,||,&&,&,<>,<<,>>,>,|,<,~,!,%";

inline void Configure(TBasicParser& parser, const std::string& open, const std::string& close) {
    parser.Symbols().SetCommaText(kSymbols);
    parser.SetHexPrefix("0x");
    // Quoted: in comma text a blank ends the item.
    parser.LineComments().SetCommaText("\"-- \",#");
    parser.CommentBegins().SetCommaText("/*");
    parser.CommentEnds().SetCommaText("*/");
    parser.BracketBegins().SetCommaText(open);
    parser.BracketEnds().SetCommaText(close);
    parser.ParamPrefixes().SetCommaText(":");
}

}  // namespace velmysql::templateparser
