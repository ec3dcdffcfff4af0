#include "platform/CNGroup.h"

#include "platform/CNLabeledValue.h"

CNGroup::CNGroup() : m_identifier(CNMakeIdentifier()) {}

std::shared_ptr<CNMutableGroup> CNGroup::mutableCopy() const
{
    return std::make_shared<CNMutableGroup>(*this);
}
