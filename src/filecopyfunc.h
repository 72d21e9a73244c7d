// Copies one file on a pool thread. The copy never overwrites: an existing target makes it
// fail, so an installed file is only ever replaced after it has been moved aside.
#pragma once

#include "slowfileopfunc.h"

class FileCopyFunc : public SlowFileOpFunc
{
    Q_OBJECT

public:
    FileCopyFunc(const QString &source, const QString &target);

    bool run() override;
};
