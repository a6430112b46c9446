#include "tests/diag/trace_fixture.h"

#include "diag/trace.h"
#include "tools/trace_reader/trace_decoder.h"

namespace kx::testing {

namespace {
constexpr size_t kHeaderRecords = 7;
}

TraceTest::TraceTest()
    : sandbox_(std::make_unique<RegistrySandbox>(RegistrySandbox::kCurrentUser)) {}

TraceTest::~TraceTest() {
  RegDeleteKeyW(HKEY_CURRENT_USER, L"kxlogit");
  kx::trace_start(L"C:\\nowhere\\setup.exe");
}

void TraceTest::SetSwitch(const std::wstring& file_name_path) {
  ASSERT_EQ(RegistrySandbox::CreateKey(HKEY_CURRENT_USER, L"kxlogit"), ERROR_SUCCESS);
  if (!file_name_path.empty()) {
    ASSERT_EQ(
        RegistrySandbox::SetString(HKEY_CURRENT_USER, L"kxlogit", L"FileNamePath", file_name_path),
        ERROR_SUCCESS);
  }
}

void TraceTest::StartTrace(const std::wstring& program) {
  SetSwitch(trace_file());
  kx::trace_start(kx::string(program));
}

std::vector<std::string> TraceTest::Records(const std::wstring& path) const {
  const auto decoded =
      kx::trace_reader::decode_trace(ReadBytes(path.empty() ? trace_file() : path));
  EXPECT_EQ(decoded.damage, "");
  std::vector<std::string> texts;
  for (const auto& r : decoded.records) texts.push_back(r.text);
  return texts;
}

std::vector<std::string> TraceTest::EventRecords() const {
  std::vector<std::string> all = Records();
  if (all.size() < kHeaderRecords) {
    ADD_FAILURE() << "only " << all.size() << " records";
    return {};
  }
  return std::vector<std::string>(all.begin() + kHeaderRecords, all.end());
}

}  // namespace kx::testing
