#include "inputfile.h"

#include <sys/stat.h>

namespace vxtool {

bool InputFile::Open(const std::string &path)
{
    if (m_File.Open(path.c_str()))
        return true;
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

} // namespace vxtool
