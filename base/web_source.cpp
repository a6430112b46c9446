#include "base/web_source.h"

#include <atomic>

namespace kx {

namespace {
std::atomic<web_source_factory> registered{nullptr};
}  // namespace

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
