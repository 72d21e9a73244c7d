#include "filecopyfunc.h"

#include <QDebug>
#include <QFile>

FileCopyFunc::FileCopyFunc(const QString &source, const QString &target)
    : SlowFileOpFunc(source, target)
{
}

bool FileCopyFunc::run()
{
    qDebug() << "run" << m_Source << m_Target;
    return QFile::copy(m_Source, m_Target);
}
