// The "PrereqEngine: " lines a definition writes while it is read and judged:
// pieces are appended to one line, and a finished line goes to a sink (the
// verbose log in the launcher, a list in tests and tools).
#pragma once

#include <string_view>

#include "base/stringx.h"

namespace kx::prereq {

// Where finished lines go.
class trace_sink {
 public:
  virtual ~trace_sink() = default;
  // One finished line, "PrereqEngine: ..." ending in " -- Successful" or
  // " -- Failed!" (no line break). Written as data, never as a format.
  virtual void line(const string& finished) = 0;
  // The line so far after each piece (a mirroring window follows it);
  // `finished` is true right after a line ended. Default: nothing.
  virtual void progress(const string& so_far, bool finished) {
    (void)so_far;
    (void)finished;
  }
};

// The line being built. Without a sink the pieces are still collected, so
// the rules stay the same whether or not anybody listens.
class trace_line {
 public:
  static constexpr const xchar* kStart = KXT("PrereqEngine: ");

  explicit trace_line(trace_sink* sink = nullptr) : sink_(sink), text_(kStart) {}

  // Appends `piece` as written.
  void append(std::basic_string_view<xchar> piece);
  // Appends `piece` followed by ",".
  void append_field(std::basic_string_view<xchar> piece);
  // Appends the six-field group "%s,%s,%s,%s,%s,%s" (no comma after it).
  void append_group(std::basic_string_view<xchar> a, std::basic_string_view<xchar> b,
                    std::basic_string_view<xchar> c, std::basic_string_view<xchar> d,
                    std::basic_string_view<xchar> e, std::basic_string_view<xchar> f);
  // Ends the line with " -- Successful" or " -- Failed!", hands it to the
  // sink and starts a new one.
  void end(bool success);
  // Hands the line as it stands to the sink and starts a new one.
  void finish();
  // Starts a new line without writing the current one.
  void reset();

  const string& current() const noexcept { return text_; }
  void set_sink(trace_sink* sink) noexcept { sink_ = sink; }

 private:
  trace_sink* sink_;
  string text_;
};

}  // namespace kx::prereq
