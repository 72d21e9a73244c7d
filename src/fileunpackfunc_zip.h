// The pool-thread half of the gzip unpack: streams the source through zlib's gzip reader in
// 16 KiB blocks, so memory stays flat for any file size. A failure removes the target, so
// no truncated file is ever taken for a complete one.
#pragma once

#include "slowfileopfunc.h"

class FileUnpackFunc_Zip : public SlowFileOpFunc
{
    Q_OBJECT

public:
    FileUnpackFunc_Zip(const QString &source, const QString &target);

    bool run() override;

private:
    bool unpack();
};
