#include "vxpatch/labelalignment.h"

#include "vxpatch/labelindexes.h"

#include <algorithm>

namespace vxpatch {

namespace {

// Tokens stand for literal bytes (0 to 255) or for what has no stable bytes.
constexpr uint16_t kTokenRel32 = 0x100;
constexpr uint16_t kTokenAbs32 = 0x101;
constexpr uint16_t kTokenArm = 0x102;
constexpr uint16_t kTokenOrigin = 0x110;
constexpr uint16_t kTokenRelocs = 0x111;

// Tokens hashed before and after a reference: long enough to be unique in real code, short
// enough to fit between neighbouring changes.
constexpr size_t kContextBefore = 16;
constexpr size_t kContextAfter = 8;

enum ReferenceKind : uint8_t { Abs32Reference, Rel32Reference };

struct Site {
    uint64_t key;
    size_t token;    // position of the reference's token
    uint32_t rva;    // address of the reference field
    Label *label;
    ReferenceKind kind;
};

struct Vote {
    Label *newLabel;
    Label *oldLabel;
};

struct Anchor {
    uint32_t newRva;
    uint32_t oldRva;
};

class ProgramView {
public:
    bool Build(const ParsedProgram &program);
    bool ComputeKeys();
    GrowableArray<Site> &Sites() { return m_Sites; }

private:
    bool AddReference(uint16_t token, uint32_t rva, Label *label, ReferenceKind kind);
    bool AddBytes(const uint8_t *bytes, size_t count);

    GrowableArray<uint16_t> m_Tokens;
    GrowableArray<Site> m_Sites;
};

bool ProgramView::AddReference(uint16_t token, uint32_t rva, Label *label, ReferenceKind kind)
{
    return m_Sites.Push(Site{0, m_Tokens.Size(), rva, label, kind}) && m_Tokens.Push(token);
}

bool ProgramView::AddBytes(const uint8_t *bytes, size_t count)
{
    if (!m_Tokens.Reserve(m_Tokens.Size() + count))
        return false;
    for (size_t i = 0; i < count; ++i)
        m_Tokens.Push(bytes[i]);
    return true;
}

bool ProgramView::Build(const ParsedProgram &program)
{
    const uint8_t *literals = program.LiteralBytes().Data();
    uint32_t rva = 0;
    bool ok = true;
    for (const Instruction &insn : program.Instructions()) {
        switch (insn.kind) {
        case InsnOrigin:
            rva = insn.value;
            ok = m_Tokens.Push(kTokenOrigin);
            break;
        case InsnByte:
            ok = AddBytes(literals, insn.value);
            literals += insn.value;
            rva += insn.value;
            break;
        case InsnBytes:
            ok = AddBytes(insn.bytes, insn.value);
            rva += insn.value;
            break;
        case InsnRel32:
            ok = AddReference(kTokenRel32, rva, insn.label, Rel32Reference);
            rva += 4;
            break;
        case InsnAbs32:
            ok = AddReference(kTokenAbs32, rva, insn.label, Abs32Reference);
            rva += 4;
            break;
        case InsnRel32Arm:
            ok = AddReference(kTokenArm + (insn.op >> 12), rva, insn.label, Rel32Reference);
            rva += insn.value;
            break;
        default:
            ok = m_Tokens.Push(kTokenRelocs);
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}

bool ProgramView::ComputeKeys()
{
    const size_t tokens = m_Tokens.Size();
    for (Site &site : m_Sites) {
        const size_t first = site.token >= kContextBefore ? site.token - kContextBefore : 0;
        const size_t last = std::min(tokens, site.token + 1 + kContextAfter);
        uint64_t key = 0x9E3779B97F4A7C15ull ^ (site.token - first) ^ ((last - site.token) << 8);
        for (size_t i = first; i < last; ++i)
            key = (key ^ m_Tokens[i]) * 0x100000001B3ull;
        site.key = key ^ site.kind;
    }
    m_Tokens.Clear();
    std::sort(m_Sites.begin(), m_Sites.end(),
              [](const Site &a, const Site &b) { return a.key < b.key; });
    return true;
}

// The site with `key` when exactly one site has it.
const Site *UniqueSite(const GrowableArray<Site> &sites, uint64_t key)
{
    const Site *it = std::lower_bound(sites.begin(), sites.end(), key,
                                      [](const Site &s, uint64_t k) { return s.key < k; });
    if (it == sites.end() || it->key != key)
        return nullptr;
    if (it + 1 != sites.end() && (it + 1)->key == key)
        return nullptr;
    return it;
}

// Which old indexes a new label already took, per label kind.
class TakenIndexes {
public:
    bool Init(LabelMap &abs32, LabelMap &rel32)
    {
        return Size(abs32, &m_Abs32) && Size(rel32, &m_Rel32);
    }
    bool TryTake(ReferenceKind kind, Label *newLabel, const Label *oldLabel)
    {
        GrowableArray<uint8_t> &taken = kind == Abs32Reference ? m_Abs32 : m_Rel32;
        if (newLabel->index != -1 || oldLabel->index < 0
            || static_cast<size_t>(oldLabel->index) >= taken.Size() || taken[oldLabel->index])
            return false;
        taken[oldLabel->index] = 1;
        newLabel->index = oldLabel->index;
        return true;
    }

private:
    static bool Size(LabelMap &labels, GrowableArray<uint8_t> *taken)
    {
        int32_t highest = -1;
        for (Label *label : labels)
            highest = std::max(highest, label->index);
        return taken->GrowTo(static_cast<size_t>(highest + 1), 0);
    }
    GrowableArray<uint8_t> m_Abs32;
    GrowableArray<uint8_t> m_Rel32;
};

class Aligner {
public:
    Aligner(ParsedProgram *oldProgram, ParsedProgram *newProgram)
        : m_Old(oldProgram), m_New(newProgram)
    {
    }
    bool Run(AlignmentCounts *counts);

private:
    bool MatchSites(ProgramView &oldView, ProgramView &newView);
    bool AssignVoted(GrowableArray<Vote> &votes, ReferenceKind kind, size_t *assigned);
    size_t AssignShifted(LabelMap &newLabels, LabelMap &oldLabels, ReferenceKind kind);
    const Label *ShiftedCounterpart(const Label *label, LabelMap &oldLabels, size_t anchor);

    ParsedProgram *m_Old;
    ParsedProgram *m_New;
    GrowableArray<Vote> m_Abs32Votes;
    GrowableArray<Vote> m_Rel32Votes;
    GrowableArray<Anchor> m_Anchors;
    TakenIndexes m_Taken;
};

bool Aligner::MatchSites(ProgramView &oldView, ProgramView &newView)
{
    const GrowableArray<Site> &oldSites = oldView.Sites();
    const GrowableArray<Site> &newSites = newView.Sites();
    for (size_t i = 0; i < newSites.Size(); ++i) {
        const Site &site = newSites[i];
        const bool uniqueInNew = (i == 0 || newSites[i - 1].key != site.key)
                                 && (i + 1 == newSites.Size() || newSites[i + 1].key != site.key);
        const Site *counterpart = uniqueInNew ? UniqueSite(oldSites, site.key) : nullptr;
        if (!counterpart)
            continue;
        GrowableArray<Vote> &votes = site.kind == Abs32Reference ? m_Abs32Votes : m_Rel32Votes;
        if (!votes.Push(Vote{site.label, counterpart->label})
            || !m_Anchors.Push(Anchor{site.rva, counterpart->rva}))
            return false;
    }
    return true;
}

// Each new label takes the old label most of its references voted for, strongest claims
// first, so that one stray vote cannot take an index a well-supported label needs.
bool Aligner::AssignVoted(GrowableArray<Vote> &votes, ReferenceKind kind, size_t *assigned)
{
    std::sort(votes.begin(), votes.end(), [](const Vote &a, const Vote &b) {
        return a.newLabel != b.newLabel ? a.newLabel < b.newLabel : a.oldLabel < b.oldLabel;
    });
    struct Claim {
        size_t votes;
        Vote vote;
    };
    GrowableArray<Claim> claims;
    for (size_t i = 0; i < votes.Size();) {
        Claim best{0, votes[i]};
        size_t j = i;
        while (j < votes.Size() && votes[j].newLabel == votes[i].newLabel) {
            size_t k = j;
            while (k < votes.Size() && votes[k].newLabel == votes[j].newLabel
                   && votes[k].oldLabel == votes[j].oldLabel)
                ++k;
            if (k - j > best.votes)
                best = Claim{k - j, votes[j]};
            j = k;
        }
        if (!claims.Push(best))
            return false;
        i = j;
    }
    votes.Clear();
    std::stable_sort(claims.begin(), claims.end(),
                     [](const Claim &a, const Claim &b) { return a.votes > b.votes; });
    for (const Claim &claim : claims) {
        if (m_Taken.TryTake(kind, claim.vote.newLabel, claim.vote.oldLabel)) {
            ++*assigned;
            if (!m_Anchors.Push(Anchor{claim.vote.newLabel->rva, claim.vote.oldLabel->rva}))
                return false;
        }
    }
    return true;
}

const Label *Aligner::ShiftedCounterpart(const Label *label, LabelMap &oldLabels, size_t anchor)
{
    if (anchor >= m_Anchors.Size())
        return nullptr;
    const Anchor &a = m_Anchors[anchor];
    return oldLabels.Find(label->rva + (a.oldRva - a.newRva));
}

size_t Aligner::AssignShifted(LabelMap &newLabels, LabelMap &oldLabels, ReferenceKind kind)
{
    size_t assigned = 0;
    for (Label *label : newLabels) {
        if (label->index != -1)
            continue;
        const Anchor *above = std::lower_bound(
            m_Anchors.begin(), m_Anchors.end(), label->rva,
            [](const Anchor &a, uint32_t rva) { return a.newRva < rva; });
        const size_t upper = static_cast<size_t>(above - m_Anchors.begin());
        const size_t candidates[2] = {upper == 0 ? SIZE_MAX : upper - 1, upper};
        for (size_t anchor : candidates) {
            const Label *counterpart = ShiftedCounterpart(label, oldLabels, anchor);
            if (counterpart && m_Taken.TryTake(kind, label, counterpart)) {
                ++assigned;
                break;
            }
        }
    }
    return assigned;
}

bool Aligner::Run(AlignmentCounts *counts)
{
    {
        ProgramView oldView, newView;
        if (!oldView.Build(*m_Old) || !oldView.ComputeKeys() || !newView.Build(*m_New)
            || !newView.ComputeKeys() || !MatchSites(oldView, newView))
            return false;
    }
    LabelMap &newAbs32 = m_New->Abs32Labels();
    LabelMap &newRel32 = m_New->Rel32Labels();
    ClearLabelIndexes(&newAbs32);
    ClearLabelIndexes(&newRel32);
    if (!m_Taken.Init(m_Old->Abs32Labels(), m_Old->Rel32Labels()))
        return false;
    if (!AssignVoted(m_Abs32Votes, Abs32Reference, &counts->voted)
        || !AssignVoted(m_Rel32Votes, Rel32Reference, &counts->voted))
        return false;
    std::sort(m_Anchors.begin(), m_Anchors.end(),
              [](const Anchor &a, const Anchor &b) { return a.newRva < b.newRva; });
    counts->shifted += AssignShifted(newAbs32, m_Old->Abs32Labels(), Abs32Reference);
    counts->shifted += AssignShifted(newRel32, m_Old->Rel32Labels(), Rel32Reference);
    counts->labels += newAbs32.Size() + newRel32.Size();
    return FillLabelIndexes(&newAbs32) && FillLabelIndexes(&newRel32);
}

} // namespace

bool AlignLabels(ParsedProgram *oldProgram, ParsedProgram *newProgram, AlignmentCounts *counts)
{
    AlignmentCounts scratch;
    Aligner aligner(oldProgram, newProgram);
    return aligner.Run(counts ? counts : &scratch);
}

} // namespace vxpatch
