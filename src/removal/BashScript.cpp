#include "removal/BashScript.h"

namespace kestrane {

std::string BashScript::quoted(std::string_view argument) {
    std::string word;
    word.reserve(argument.size() + 2);
    word.push_back('\'');
    for (const char c : argument) {
        if (c == '\'') word.append("'\\''");
        else word.push_back(c);
    }
    word.push_back('\'');
    return word;
}

}  // namespace kestrane
