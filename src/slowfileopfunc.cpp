#include "slowfileopfunc.h"

SlowFileOpFunc::SlowFileOpFunc(const QString &source, const QString &target)
    : m_Source(source), m_Target(target)
{
}

SlowFileOpFunc::SlowFileOpFunc(const QString &source, const QString &patchFile,
                               const QString &target)
    : m_Source(source), m_PatchFile(patchFile), m_Target(target)
{
}
