#include "vxpatch/ensemblemaker.h"

#include "vxpatch/binarydiffmaker.h"
#include "vxpatch/detection.h"
#include "vxpatch/encodedprogram.h"
#include "vxpatch/enginelog.h"
#include "vxpatch/ensemble.h"
#include "vxpatch/ensembleelements.h"
#include "vxpatch/ensemblefinaldiff.h"
#include "vxpatch/labelalignment.h"
#include "vxpatch/programslices.h"
#include "vxpatch/trimlabels.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace vxpatch {

namespace {

constexpr size_t kBodyStreams = 4;
// A slice is dense in references when it holds at least one per this many bytes, and
// practically free of them below one per the spacing.
constexpr size_t kDenseReferences = 100;
constexpr size_t kChanceReferenceSpacing = 64 * 1024;
// Up to this size a new file is also tried with whole elements.
constexpr size_t kSmallFile = 1 << 20;

void Tell(MakeProgress *progress, const char *step)
{
    if (progress)
        progress->Report(step);
}

Status DisassembleTrimmed(const uint8_t *data, const Element &element,
                          std::unique_ptr<ParsedProgram> *program)
{
    const Status status = DisassembleElement(data + element.offset, element.length, program);
    if (status != StatusOk)
        return status;
    return TrimLabels(program->get()) ? StatusOk : StatusTrimFailed;
}

Status EncodeAndStore(std::unique_ptr<ParsedProgram> *program, EncodedProgram *encoded,
                      ByteSinkSet *set)
{
    const Status status = EncodeProgram(**program, encoded);
    program->reset();
    return status != StatusOk ? status : StoreEncodedProgram(*encoded, set);
}

// The element sets and bytes of one pair, kept apart until the whole pair has succeeded.
// `ranges` place the reformed bytes in the new file; their basic offsets count from the
// start of `reformed`.
struct ElementResult {
    ByteSinkSet oldSet;
    ByteSinkSet newSet;
    ByteSink reformed;
    GrowableArray<ReformedRange> ranges;
};

// The ways of making a patch, in order of preference when two come out the same size.
enum class PatchForm {
    SparseLeftOut,  // elements, their sections with chance references left to the final diff
    WholeElements,  // elements as they are
    FinalDiffAlone, // no elements
};

// Which slices of the new program the element carries; the final diff takes the others
// from the old file. A slice pays its way through the program when it holds references
// densely, as code and pointer tables do. Data with chance references (bytes that happen to
// look like a branch into the image, common in x86 data) is better left to the final diff:
// each build has its own chance references, so the program's literal bytes get holes where
// the builds differ, and the diff of the elements loses its alignment at every one. A slice
// practically free of references goes with the slice before it, so that neither diff is cut
// more often than the sections change character.
bool ChooseSlices(const GrowableArray<ProgramSlice> &slices, PatchForm form,
                  GrowableArray<uint8_t> *keep)
{
    if (!keep->GrowTo(slices.Size(), 1))
        return false;
    bool previousKept = true;
    for (size_t i = 0; form == PatchForm::SparseLeftOut && i < slices.Size(); ++i) {
        const ProgramSlice &slice = slices[i];
        const bool dense = slice.references * kDenseReferences >= slice.outputLength;
        const bool clean = slice.references * kChanceReferenceSpacing < slice.outputLength;
        (*keep)[i] = dense || (clean && previousKept);
        previousKept = (*keep)[i] || slice.fixed;
    }
    return true;
}

// The new file's ranges that the kept slices assemble to (`reformedSize` bytes), adjacent
// ones merged. The slices behind a relocation marker run to the end: their bytes include the
// generated tables.
bool KeptRanges(const GrowableArray<ProgramSlice> &slices, const GrowableArray<uint8_t> &keep,
                size_t elementOffset, size_t reformedSize, GrowableArray<ReformedRange> *ranges)
{
    size_t basic = 0;
    for (size_t i = 0; i < slices.Size() && basic < reformedSize; ++i) {
        const ProgramSlice &slice = slices[i];
        if (!(slice.fixed || keep[i]))
            continue;
        const size_t length = slice.behindMarker ? reformedSize - basic
                                          : std::min(slice.outputLength, reformedSize - basic);
        const size_t newOffset = elementOffset + slice.outputOffset;
        if (!ranges->Empty()
            && ranges->Back().newOffset + ranges->Back().length == newOffset)
            ranges->Back().length += length;
        else if (!ranges->Push(ReformedRange{newOffset, basic, length}))
            return false;
        basic += length;
    }
    return true;
}

// Keeps the chosen slices of the new program and stores them.
Status StoreChosenSlices(const EncodedProgram &full, size_t elementOffset, PatchForm form,
                         ElementResult *result)
{
    GrowableArray<ProgramSlice> slices;
    GrowableArray<uint8_t> keep;
    EncodedProgram kept;
    if (!SliceProgram(full, &slices) || !ChooseSlices(slices, form, &keep)
        || !KeepSlices(full, slices, keep, &kept))
        return StatusGeneralError;
    Status status = StoreEncodedProgram(kept, &result->newSet);
    if (status == StatusOk)
        status = AssembleProgram(kept, &result->reformed);
    if (status != StatusOk)
        return status;
    return KeptRanges(slices, keep, elementOffset, result->reformed.Size(), &result->ranges)
               ? StatusOk
               : StatusGeneralError;
}

// True when the reformed bytes are the new element's bytes of the ranges. A damaged image
// can assemble to more bytes than the element holds, so every range is checked to lie
// inside it before it is compared.
bool ReformsExactly(const ElementResult &result, const uint8_t *newData, const Element &element)
{
    size_t total = 0;
    for (const ReformedRange &range : result.ranges) {
        const bool inside = range.newOffset >= element.offset
                            && range.newOffset - element.offset <= element.length
                            && range.length <= element.length - (range.newOffset - element.offset);
        if (!inside || range.basicOffset + range.length > result.reformed.Size()
            || std::memcmp(result.reformed.Data() + range.basicOffset,
                           newData + range.newOffset, range.length) != 0)
            return false;
        total += range.length;
    }
    return total == result.reformed.Size();
}

Status TransformPair(const uint8_t *oldData, const uint8_t *newData, const ElementPair &pair,
                     PatchForm form, ElementResult *result, AlignmentCounts *counts)
{
    std::unique_ptr<ParsedProgram> oldProgram, newProgram;
    Status status = DisassembleTrimmed(oldData, pair.oldElement, &oldProgram);
    if (status == StatusOk)
        status = DisassembleTrimmed(newData, pair.newElement, &newProgram);
    if (status != StatusOk)
        return status;
    if (!AlignLabels(oldProgram.get(), newProgram.get(), counts))
        return StatusGeneralError;
    EncodedProgram oldEncoded, newEncoded;
    if ((status = EncodeAndStore(&oldProgram, &oldEncoded, &result->oldSet)) != StatusOk
        || (status = EncodeProgram(*newProgram, &newEncoded)) != StatusOk)
        return status;
    newProgram.reset();
    if ((status = StoreChosenSlices(newEncoded, pair.newElement.offset, form, result)) != StatusOk)
        return status;
    // A program that does not give back the element's own bytes would leave the final diff
    // to correct the difference, which costs more than the element saves.
    return ReformsExactly(*result, newData, pair.newElement) ? StatusOk : StatusAssemblyFailed;
}

class Maker {
public:
    Maker(const uint8_t *oldData, size_t oldSize, const uint8_t *newData, size_t newSize,
          MakeProgress *progress, MakeReport *report)
        : m_Old(oldData), m_OldSize(oldSize), m_New(newData), m_NewSize(newSize),
          m_Progress(progress), m_Report(report)
    {
    }
    Status FindPairs();
    Status Make(PatchForm form, ByteSink *patch);
    Status Verify(const ByteSink &patch);
    bool HasCandidates() const { return !m_Candidates.Empty(); }

private:
    Status TransformElements(PatchForm form, ByteSinkSet *oldSets, ByteSinkSet *newSets,
                             ByteSink *basic);
    Status WriteTransformationList(ByteSink *list);
    Status WriteParameterCorrection(ByteSink *out);
    Status WriteElementCorrection(ByteSinkSet *oldSets, ByteSinkSet *newSets, ByteSink *out);
    Status WritePatch(ByteSinkSet *body, size_t finalSize, ByteSink *patch);

    const uint8_t *m_Old;
    size_t m_OldSize;
    const uint8_t *m_New;
    size_t m_NewSize;
    MakeProgress *m_Progress;
    MakeReport *m_Report;
    GrowableArray<ElementPair> m_Candidates;
    GrowableArray<ElementPair> m_Pairs;
    GrowableArray<ReformedRange> m_Reformed;
};

Status Maker::FindPairs()
{
    Tell(m_Progress, "elements");
    GrowableArray<Element> oldElements, newElements;
    if (!FindElements(m_Old, m_OldSize, &oldElements)
        || !FindElements(m_New, m_NewSize, &newElements)
        || !PairElements(oldElements, newElements, &m_Candidates))
        return StatusGeneralError;
    return StatusOk;
}

// Pairs whose programs cannot be made are left out; the final diff covers their bytes.
Status Maker::TransformElements(PatchForm form, ByteSinkSet *oldSets, ByteSinkSet *newSets,
                               ByteSink *basic)
{
    AlignmentCounts counts;
    size_t leftOut = 0;
    for (size_t i = 0; i < m_Candidates.Size(); ++i) {
        const std::string step = "element " + std::to_string(i + 1) + " of "
                                 + std::to_string(m_Candidates.Size());
        Tell(m_Progress, step.c_str());
        ElementResult result;
        const Status status = TransformPair(m_Old, m_New, m_Candidates[i], form, &result, &counts);
        if (status != StatusOk) {
            LogWarning("element at " + std::to_string(m_Candidates[i].newElement.offset)
                       + " left to the final diff, status " + std::to_string(status));
            continue;
        }
        leftOut += m_Candidates[i].newElement.length - result.reformed.Size();
        for (ReformedRange &range : result.ranges) {
            range.basicOffset += basic->Size();
            if (!m_Reformed.Push(range))
                return StatusGeneralError;
        }
        if (!oldSets->WriteNested(&result.oldSet) || !newSets->WriteNested(&result.newSet)
            || !basic->AppendAndRelease(&result.reformed) || !m_Pairs.Push(m_Candidates[i]))
            return StatusGeneralError;
    }
    if (m_Report) {
        m_Report->leftOutBytes = leftOut;
        m_Report->labels = counts.labels;
        m_Report->alignedLabels = counts.voted + counts.shifted;
    }
    return StatusOk;
}

Status Maker::WriteTransformationList(ByteSink *list)
{
    list->WriteSizeVarint(m_Pairs.Size());
    for (const ElementPair &pair : m_Pairs)
        list->WriteVarint(pair.oldElement.kind);
    for (const ElementPair &pair : m_Pairs) {
        list->WriteSizeVarint(pair.oldElement.offset);
        list->WriteSizeVarint(pair.oldElement.length);
    }
    return list->IsFailed() ? StatusGeneralError : StatusOk;
}

// Elements take no parameters, so the prediction is already right; the diff still has to
// turn the predicted set into itself.
Status Maker::WriteParameterCorrection(ByteSink *out)
{
    ByteSinkSet predicted;
    for (size_t i = 0; i < m_Pairs.Size(); ++i) {
        ByteSinkSet none;
        if (!predicted.WriteNested(&none))
            return StatusGeneralError;
    }
    ByteSink combined;
    if (!predicted.Combine(&combined))
        return StatusGeneralError;
    return MakeBinaryDiff(combined.Data(), combined.Size(), combined.Data(), combined.Size(),
                          BinaryDiffStored, false, out)
               ? StatusOk
               : StatusGeneralError;
}

Status Maker::WriteElementCorrection(ByteSinkSet *oldSets, ByteSinkSet *newSets, ByteSink *out)
{
    ByteSink from, to;
    if (!oldSets->Combine(&from) || !newSets->Combine(&to))
        return StatusGeneralError;
    return MakeBinaryDiff(from.Data(), from.Size(), to.Data(), to.Size(), BinaryDiffStored,
                          false, out)
               ? StatusOk
               : StatusGeneralError;
}

Status Maker::WritePatch(ByteSinkSet *body, size_t finalSize, ByteSink *patch)
{
    ByteSink combined;
    if (!body->Combine(&combined))
        return StatusGeneralError;
    Tell(m_Progress, "compress");
    patch->WriteVarint(kEnsembleMagic);
    patch->WriteVarint(kEnsembleVersion);
    patch->WriteVarint(ComputeChecksum(m_Old, m_OldSize));
    patch->WriteVarint(ComputeChecksum(m_New, m_NewSize));
    patch->WriteVarint(finalSize > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(finalSize));
    return WriteLzma2Block(combined.Data(), combined.Size(), patch) ? StatusOk
                                                                     : StatusGeneralError;
}

Status Maker::Make(PatchForm form, ByteSink *patch)
{
    m_Pairs.Clear();
    m_Reformed.Clear();
    ByteSinkSet body, oldSets, newSets;
    ByteSink basic;
    if (!body.SetCount(kBodyStreams) || !basic.WriteBytes(m_Old, m_OldSize))
        return StatusGeneralError;
    Status status = form != PatchForm::FinalDiffAlone
                        ? TransformElements(form, &oldSets, &newSets, &basic)
                        : StatusOk;
    if (status == StatusOk)
        status = WriteTransformationList(body.Stream(0));
    if (status == StatusOk)
        status = WriteParameterCorrection(body.Stream(1));
    if (status == StatusOk)
        status = WriteElementCorrection(&oldSets, &newSets, body.Stream(2));
    if (status != StatusOk)
        return status;
    Tell(m_Progress, "diff");
    if (!MakeFinalDiff(basic.Data(), basic.Size(), m_OldSize, m_New, m_NewSize, m_Reformed,
                       body.Stream(3)))
        return StatusGeneralError;
    const size_t finalSize = basic.Size();
    basic.Release();
    if (m_Report)
        m_Report->elements = m_Pairs.Size();
    return WritePatch(&body, finalSize, patch);
}

Status Maker::Verify(const ByteSink &patch)
{
    Tell(m_Progress, "verify");
    ByteSource oldSource, patchSource;
    oldSource.Init(m_Old, m_OldSize);
    patchSource.Init(patch);
    ByteSink result;
    const Status status = ApplyEnsemblePatchStreams(&oldSource, &patchSource, &result);
    if (status != StatusOk)
        return status;
    const bool same = result.Size() == m_NewSize
                      && (m_NewSize == 0 || std::memcmp(result.Data(), m_New, m_NewSize) == 0);
    return same ? StatusOk : StatusBadCrc;
}

} // namespace

Status MakeEnsemblePatch(const uint8_t *oldData, size_t oldSize, const uint8_t *newData,
                         size_t newSize, ByteSink *patch, MakeProgress *progress,
                         MakeReport *report, const MakeOptions &options)
{
    if (oldSize > kMaxBinaryDiffInput || newSize > kMaxBinaryDiffInput)
        return StatusGeneralError;
    MakeReport scratch;
    report = report ? report : &scratch;
    Maker maker(oldData, oldSize, newData, newSize, progress, report);
    Status status = maker.FindPairs();
    if (status != StatusOk)
        return status;
    // Each form is made and verified and the smallest kept; a failed form only loses its
    // turn. The final diff alone is among them: for small files and for elements whose code
    // changed throughout, the element sets' own overhead outweighs what they save. So are
    // whole elements when sections were left out of a small file, where the cuts weigh more
    // and a further make costs little.
    ByteSink best;
    MakeReport bestReport;
    for (PatchForm form : {PatchForm::SparseLeftOut, PatchForm::WholeElements,
                           PatchForm::FinalDiffAlone}) {
        const bool elements = form != PatchForm::FinalDiffAlone;
        const bool made = best.Size() != 0;
        if ((elements && !maker.HasCandidates())
            || (form == PatchForm::WholeElements
                && (newSize > kSmallFile || (made && bestReport.leftOutBytes == 0)))
            || (!elements && made && options.alwaysUseElements))
            continue;
        ByteSink candidate;
        *report = MakeReport();
        status = maker.Make(form, &candidate);
        if (status == StatusOk)
            status = maker.Verify(candidate);
        if (status != StatusOk) {
            LogWarning("patch form " + std::to_string(static_cast<int>(form))
                       + " failed with status " + std::to_string(status));
            continue;
        }
        if (!made || candidate.Size() < best.Size()) {
            best.Release();
            if (!best.AppendAndRelease(&candidate))
                return StatusGeneralError;
            bestReport = *report;
        }
    }
    if (best.Size() == 0)
        return status;
    *report = bestReport;
    return patch->AppendAndRelease(&best) ? StatusOk : StatusGeneralError;
}

} // namespace vxpatch
