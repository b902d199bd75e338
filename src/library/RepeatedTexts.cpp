#include "library/RepeatedTexts.h"

namespace klv {

void RepeatedTexts::share(OutlineViewItem &record) {
    share(record.product_location);
    share(record.mainApplicationType);
    share(record.latestRelease);
}

void RepeatedTexts::share(QString &text) {
    if (text.isEmpty())
        return;
    if (const auto known = m_texts.find(text); known != m_texts.end())
        text = *known;
    else if (m_texts.size() < capacity)
        m_texts.insert(text);
}

} // namespace klv
