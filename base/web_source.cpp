#include "base/web_source.h"

#include <atomic>

namespace kx {

namespace {
std::atomic<web_source_factory> registered{nullptr};
web_policy policy;
}  // namespace

web_policy set_web_policy(const web_policy& next) noexcept {
  const web_policy previous = policy;
  policy = next;
  return previous;
}

web_policy current_web_policy() noexcept {
  return policy;
}

web_source_factory set_web_source_factory(web_source_factory factory) noexcept {
  return registered.exchange(factory);
}

std::unique_ptr<web_source> make_web_source(const web_source_options& options, DWORD& error) {
  const web_source_factory factory = registered.load();
  if (!factory) {
    error = ERROR_NOT_SUPPORTED;
    return nullptr;
  }
  error = 0;
  std::unique_ptr<web_source> source = factory(options, error);
  if (!source && error == 0) error = ERROR_NOT_SUPPORTED;
  return source;
}

}  // namespace kx
