// The pool-thread half of a slow file operation: makes m_Target from m_Source (and a patch
// file, for operations that take one). It works on its own copies of the paths and must
// return true only when m_Target is complete.
#pragma once

#include "asyncfunc.h"

class SlowFileOpFunc : public ASyncFunc
{
    Q_OBJECT

public:
    SlowFileOpFunc(const QString &source, const QString &target);
    SlowFileOpFunc(const QString &source, const QString &patchFile, const QString &target);

    QString m_Source;
    QString m_PatchFile;
    QString m_Target;
};
