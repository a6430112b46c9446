#include "platform/error_record.h"

namespace kx {

error_record& last_error_record() noexcept {
  static error_record record;
  return record;
}

unsigned long record_error(unsigned long code, const string& path) {
  error_record& r = last_error_record();
  r.code = code;
  r.path = path;
  return code;
}

}  // namespace kx
