#include "writers/item_failure.h"

#include <algorithm>

namespace tvn::writers {

bool ItemTrap::isSilent(std::int32_t number) const {
    return std::find(m_silent.begin(), m_silent.end(), number) != m_silent.end();
}

void ItemTrap::report(const Failure& failure) {
    if (!isSilent(failure.number())) {
        reportAlways(failure);
    }
}

void ItemTrap::reportAlways(const Failure& failure) {
    m_reporter.ErrorMessages(failure, m_info, m_subject ? m_subject(failure) : std::string("N/A."));
}

} // namespace tvn::writers
