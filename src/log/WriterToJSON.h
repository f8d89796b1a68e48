#pragma once

#include <string>
#include <string_view>

namespace kestrane {

class JValue;

// Writes a log tree as JSON text, laid out as removal logs always are:
//
//   {
//     "application": "Kestrane v0.1.0",
//     "date": "2026-03-05 14:07:09 GMT+1",
//     "changes": {
//       "1": {
//   ...
//   }
//
// An object or array opens, each entry goes on a line of its own one
// indentation deeper (", " and a line break between entries), and it closes
// on a line of the outer indentation; an empty one is "{", a line break, the
// inner indentation and "}". Object keys come in their sort order. No line
// break follows the outermost value.
class WriterToJSON {
public:
    explicit WriterToJSON(std::string indentation = "  ") : m_indentation(std::move(indentation)) {}

    // writeValue:usingCommand:, with the whole text as the result.
    std::string write(const JValue& value) const;

    // A JSON string's content: backslash, double quote, slash, line feed,
    // backspace, form feed, carriage return and tab escaped (in that order of
    // replacement, so nothing is escaped twice), other control characters as
    // \u00XX so that the text stays JSON, and bytes that are not UTF-8 as
    // U+FFFD (a log holds paths in their readable form; see LogPaths.h).
    static std::string escaped(std::string_view text);

private:
    std::string m_indentation;
};

}  // namespace kestrane
