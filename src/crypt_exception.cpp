#include "crypt_exception.h"

crypt_exception::crypt_exception(const char *text)
    : m_Text(text ? text : "")
{
}

crypt_exception::crypt_exception(const std::string &text)
    : m_Text(text)
{
}

const char *crypt_exception::what() const noexcept
{
    return m_Text.c_str();
}
