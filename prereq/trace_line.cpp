#include "prereq/trace_line.h"

namespace kx::prereq {

void trace_line::append(std::basic_string_view<xchar> piece) {
  text_.append(piece.data(), piece.size());
  if (sink_) sink_->progress(text_, false);
}

void trace_line::append_field(std::basic_string_view<xchar> piece) {
  text_.append(piece.data(), piece.size());
  text_ += xchar(',');
  if (sink_) sink_->progress(text_, false);
}

void trace_line::append_group(std::basic_string_view<xchar> a, std::basic_string_view<xchar> b,
                              std::basic_string_view<xchar> c, std::basic_string_view<xchar> d,
                              std::basic_string_view<xchar> e, std::basic_string_view<xchar> f) {
  const std::basic_string_view<xchar> parts[] = {a, b, c, d, e, f};
  for (std::size_t i = 0; i < 6; ++i) {
    if (i) text_ += xchar(',');
    text_.append(parts[i].data(), parts[i].size());
  }
  if (sink_) sink_->progress(text_, false);
}

void trace_line::end(bool success) {
  text_ += success ? KXT(" -- Successful") : KXT(" -- Failed!");
  finish();
}

void trace_line::finish() {
  if (sink_) {
    sink_->line(text_);
    sink_->progress(text_, true);
  }
  reset();
}

void trace_line::reset() {
  text_ = kStart;
}

}  // namespace kx::prereq
