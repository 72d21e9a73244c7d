#include "fileunpackfunc_zip.h"

#include <QFile>

#include <zlib.h>

namespace {

constexpr int kBlockSize = 16384;

} // namespace

FileUnpackFunc_Zip::FileUnpackFunc_Zip(const QString &source, const QString &target)
    : SlowFileOpFunc(source, target)
{
}

bool FileUnpackFunc_Zip::run()
{
    const bool ok = unpack();
    if (!ok)
        QFile::remove(m_Target);
    return ok;
}

bool FileUnpackFunc_Zip::unpack()
{
    QFile target(m_Target);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    gzFile reader = gzopen(m_Source.toUtf8().constData(), "rb");
    if (!reader)
        return false;
    gzrewind(reader);
    char buffer[kBlockSize];
    for (;;) {
        const int read = gzread(reader, buffer, kBlockSize);
        if (read == 0) {
            target.close();
            // A truncated stream reads as a clean end; only the close reports it.
            return gzclose(reader) == Z_OK && target.error() == QFileDevice::NoError;
        }
        if (read < 0 || target.write(buffer, read) != read) {
            gzclose(reader);
            return false;
        }
    }
}
