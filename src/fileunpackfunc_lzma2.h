// The pool-thread half of the container unpack: one call into the patch engine, which holds
// no state between calls, so several unpacks of different files may run at once.
#pragma once

#include "slowfileopfunc.h"

class FileUnpackFunc_lzma2 : public SlowFileOpFunc
{
    Q_OBJECT

public:
    FileUnpackFunc_lzma2(const QString &source, const QString &target);

    bool run() override;
    static bool unpackFile(const QString &source, const QString &target);
};
