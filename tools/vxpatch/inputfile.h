// An input file of the tool, mapped read-only. An empty file cannot be mapped, yet it is a
// valid input (an empty old or new file of a diff), so it reads as zero bytes.
#pragma once

#include "vxpatch/streams.h"

#include <string>

namespace vxtool {

class InputFile {
public:
    // False when the file is missing, unreadable or not a regular file.
    bool Open(const std::string &path);

    const uint8_t *Data() const { return m_File.Data(); }
    size_t Length() const { return m_File.Length(); }

private:
    vxpatch::MappedFile m_File;
};

} // namespace vxtool
