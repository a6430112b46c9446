#include "ui/image/placeholder_text.h"

#include <algorithm>

#include "base/number_text.h"

namespace kx {

namespace {

using view = string::view;

// The text before the first `separator` (all of it when there is none),
// and the rest after it.
view take_field(view& rest, xchar separator) {
  const std::size_t at = rest.find(separator);
  const view field = rest.substr(0, at);
  rest = at == view::npos ? view() : rest.substr(at + 1);
  return field;
}

PlaceholderName name_of(view text) {
  PlaceholderName name;
  name.text = string(text);
  const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                   [](xchar c) { return c >= '0' && c <= '9'; });
  if (digits && text.size() <= 5) {
    const std::int32_t id = read_number(text, 10);
    if (id <= 0xFFFF) name.resource_id = static_cast<std::uint16_t>(id);
  }
  return name;
}

std::optional<std::uint32_t> colour_of(view field) {
  if (field.empty()) return std::nullopt;
  std::uint32_t colour = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::int32_t value = std::clamp(read_number(take_field(field, ','), 10), 0, 255);
    colour |= static_cast<std::uint32_t>(value) << shift;
  }
  return colour;
}

int percent_of(view field) {
  const std::int32_t value = read_number(field, 10);
  return value > 0 ? value : 100;
}

}  // namespace

PlaceholderText ParsePlaceholder(string::view text) {
  PlaceholderText result;
  text = text.substr(0, std::min(text.size(), kPlaceholderTextLimit));
  if (text.empty() || text[0] != '@') return result;
  view rest = text.substr(1);
  if (!rest.empty() && rest[0] == '@') {
    rest = rest.substr(1);
    result.form = PlaceholderText::Form::picture;
    result.first = name_of(take_field(rest, ';'));
    result.percent = percent_of(take_field(rest, ';'));
    return result;
  }
  result.form = PlaceholderText::Form::bitmap;
  view names = take_field(rest, ';');
  result.first = name_of(take_field(names, ','));
  result.second = name_of(names);
  result.transparent = read_number(take_field(rest, ';'), 10) == 1;
  result.edge = read_number(take_field(rest, ';'), 10) == 1;
  result.transparent_colour = colour_of(take_field(rest, ';'));
  result.background_colour = colour_of(take_field(rest, ';'));
  result.percent = percent_of(take_field(rest, ';'));
  return result;
}

}  // namespace kx
