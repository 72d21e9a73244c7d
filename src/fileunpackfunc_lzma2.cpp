#include "fileunpackfunc_lzma2.h"

#include "vxpatch/container.h"

#include <QDebug>

FileUnpackFunc_lzma2::FileUnpackFunc_lzma2(const QString &source, const QString &target)
    : SlowFileOpFunc(source, target)
{
}

bool FileUnpackFunc_lzma2::run()
{
    return unpackFile(m_Source, m_Target);
}

bool FileUnpackFunc_lzma2::unpackFile(const QString &source, const QString &target)
{
    const bool ok = vxpatch::DecompressFile(source.toUtf8().constData(), target.toUtf8().constData());
    qDebug() << "unpackFile" << source << target << (ok ? "true" : "false");
    return ok;
}
