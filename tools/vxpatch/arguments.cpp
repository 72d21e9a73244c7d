#include "arguments.h"

namespace vxtool {

bool Arguments::Parse(const std::vector<std::string> &words, const ArgumentSyntax &syntax,
                      std::string *error)
{
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string &word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            m_Operands.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (syntax.flags.count(word) != 0) {
            m_Flags.insert(word);
        } else if (syntax.valueOptions.count(word) != 0) {
            if (i + 1 == words.size()) {
                *error = "option " + word + " needs a value";
                return false;
            }
            m_Values[word] = words[++i];
        } else {
            *error = "unknown option " + word;
            return false;
        }
    }
    if (m_Operands.size() != syntax.operands) {
        *error = "expected " + std::to_string(syntax.operands) + " file arguments, got "
            + std::to_string(m_Operands.size());
        return false;
    }
    return true;
}

std::string Arguments::Value(const std::string &option, const std::string &fallback) const
{
    const auto found = m_Values.find(option);
    return found != m_Values.end() ? found->second : fallback;
}

} // namespace vxtool
