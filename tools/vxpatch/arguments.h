// Command-line parsing shared by the subcommands: flags, options with a value and a fixed
// number of operands, with "--" ending the options. What a subcommand accepts is declared as
// data, so a usage error is found before any file is touched.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace vxtool {

struct ArgumentSyntax {
    std::set<std::string> flags;
    std::set<std::string> valueOptions;
    size_t operands;
};

class Arguments {
public:
    // False with `error` set when the words do not fit `syntax`.
    bool Parse(const std::vector<std::string> &words, const ArgumentSyntax &syntax,
               std::string *error);

    bool Has(const std::string &flag) const { return m_Flags.count(flag) != 0; }
    std::string Value(const std::string &option, const std::string &fallback) const;
    const std::string &Operand(size_t index) const { return m_Operands.at(index); }

private:
    std::set<std::string> m_Flags;
    std::map<std::string, std::string> m_Values;
    std::vector<std::string> m_Operands;
};

} // namespace vxtool
