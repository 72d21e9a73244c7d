#include "vxpatch/ensemble.h"

#include "vxpatch/ensembleapplier.h"

namespace vxpatch {

Status ApplyEnsemblePatchStreams(ByteSource *oldSource, ByteSource *patch, ByteSink *result)
{
    EnsembleApplier applier;
    return applier.Apply(oldSource, patch, result);
}

Status ApplyEnsemblePatch(const oschar *oldPath, const oschar *patchPath, const oschar *newPath)
{
    MappedFile patchFile;
    if (!patchFile.Open(patchPath))
        return StatusReadOpenError;
    {
        // Rejects a file that is no patch before the old file is even opened.
        ByteSource header;
        header.Init(patchFile.Data(), patchFile.Length());
        EnsembleApplier scratch;
        const Status status = scratch.ReadHeader(&header);
        if (status != StatusOk)
            return status;
    }
    MappedFile oldFile;
    if (!oldFile.Open(oldPath))
        return StatusReadWriteError;
    ByteSource oldSource, patch;
    oldSource.Init(oldFile.Data(), oldFile.Length());
    patch.Init(patchFile.Data(), patchFile.Length());
    ByteSink result;
    EnsembleApplier applier;
    applier.SetOldFile(&oldFile);
    const Status status = applier.Apply(&oldSource, &patch, &result);
    if (status != StatusOk)
        return status;
    oldFile.Close();
    patchFile.Close();
    // Replaced only when complete, so a failed write neither leaves a partial file nor
    // destroys one that was there.
    return ReplaceWholeFile(newPath, result.Data(), result.Size()) ? StatusOk
                                                                    : StatusReadWriteError;
}

} // namespace vxpatch
