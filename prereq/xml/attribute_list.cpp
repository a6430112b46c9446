#include "prereq/xml/attribute_list.h"

#include <utility>

namespace sax {

void AttributeList::add(text name, text value) {
  names_.push_back(std::move(name));
  values_.push_back(std::move(value));
}

text_view AttributeList::getValue(text_view name) const noexcept {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (text_view(names_[i]) == name) return values_[i];
  }
  return {};
}

}  // namespace sax
