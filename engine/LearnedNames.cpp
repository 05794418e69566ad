#include "engine/LearnedNames.h"

#include "platform/NativeName.h"
#include "platform/PathRules.h"

CLearnedNames::CLearnedNames(const std::vector<IDigestStore::Learned>& files)
{
    constexpr size_t kAhead = 16;
    m_ends.reserve(files.size());
    m_text.reserve(files.size() * 24);
    for (size_t i = 0; i < files.size(); ++i) {
        if (i + 2 * kAhead < files.size())
            files[i + 2 * kAhead].path->Prefetch();
        if (i + kAhead < files.size()) {
            const std::u16string_view ahead = files[i + kAhead].path->view();
            __builtin_prefetch(ahead.data() + ahead.size() - 1);
        }
        AppendEncodedNativeName(m_text, NameViewOfPath(files[i].path->view()));
        m_ends.push_back(static_cast<uint32_t>(m_text.size()));
    }
}
