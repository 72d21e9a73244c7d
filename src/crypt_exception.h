// The one exception type of the updater's own code: thrown by the cryptographic helpers
// when a LibTomCrypt call fails, and always caught by their callers, so that it never
// crosses a task or a signal.
#pragma once

#include <exception>
#include <string>

class crypt_exception : public std::exception
{
public:
    explicit crypt_exception(const char *text);
    explicit crypt_exception(const std::string &text);

    const char *what() const noexcept override;

private:
    std::string m_Text;
};
