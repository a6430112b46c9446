#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "launcher/com_ref.h"
#include "launcher/engine_host_sink.h"
#include "launcher/step_result.h"

namespace kx {
namespace {

// Records what the sink reports and cancels when told to.
class RecordingObserver : public EngineProgressObserver {
 public:
  std::vector<ULONGLONG> done;
  std::vector<ULONGLONG> expected;
  std::vector<ULONG> rates;
  bool cancel = false;

  void StepReached(int) override {}
  void BytesTransferred(ULONGLONG d, ULONGLONG e) override {
    done.push_back(d);
    expected.push_back(e);
  }
  void RateChanged(ULONG rate) override { rates.push_back(rate); }
  void EnginePhase() override {}
  void Close() override {}
  HWND Window() override { return nullptr; }
  bool TakeCancelRequest() override { return std::exchange(cancel, false); }
};

class EngineHostSinkTest : public ::testing::Test {
 protected:
  ComRef<IKxTransferEvents3> MakeSink(bool web = false) {
    EngineSinkContext c;
    c.observer = &observer_;
    c.web = web;
    c.mode = &mode_;
    c.expected_bytes = &expected_;
    return ComRef<IKxTransferEvents3>(NewEngineSink(c));
  }

  RecordingObserver observer_;
  int mode_ = 3;
  ULONGLONG expected_ = 4096;
};

TEST_F(EngineHostSinkTest, AnswersExactlyItsInterfacesWithOneObject) {
  auto sink = MakeSink();
  ASSERT_TRUE(sink);
  for (const IID* iid :
       {&IID_IUnknown, &IID_IKxTransferEvents, &IID_IKxTransferEvents2, &IID_IKxTransferEvents3}) {
    ComRef<IUnknown> got;
    ASSERT_EQ(sink->QueryInterface(*iid, got.put_void()), S_OK);
    EXPECT_EQ(static_cast<void*>(got.get()), static_cast<void*>(sink.get()));
  }
  for (const IID* iid : {&IID_IKxRunner, &IID_IKxComponent, &IID_IDispatch, &IID_IClassFactory}) {
    void* got = reinterpret_cast<void*>(1);
    EXPECT_EQ(sink->QueryInterface(*iid, &got), E_NOINTERFACE);
    EXPECT_EQ(got, nullptr);
  }
  EXPECT_EQ(sink->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  // Each query above added a reference that its holder gave back.
  EXPECT_EQ(sink->AddRef(), 2u);
  EXPECT_EQ(sink->Release(), 1u);
}

TEST_F(EngineHostSinkTest, ProgressCountsBytesAndPassesOnTheCancelRequest) {
  auto sink = MakeSink();
  EXPECT_EQ(sink->Progress(1000), S_OK);
  EXPECT_EQ(sink->Progress(24), S_OK);
  EXPECT_EQ(observer_.done, (std::vector<ULONGLONG>{1000, 1024}));
  EXPECT_EQ(observer_.expected, (std::vector<ULONGLONG>{4096, 4096}));
  observer_.cancel = true;
  EXPECT_EQ(sink->Progress(1), kCancelled);
  EXPECT_EQ(sink->Progress(1), S_OK) << "the request is answered once";
  EXPECT_EQ(SinkBytesDone(sink.get()), 1026u);
}

TEST_F(EngineHostSinkTest, NotificationsWithoutListenerAreNotHeard) {
  auto sink = MakeSink();
  EXPECT_EQ(sink->OnTransferBegin(nullptr, nullptr), S_FALSE);
  EXPECT_EQ(sink->OnTransferEnd(nullptr, S_OK), S_FALSE);
  EXPECT_EQ(sink->OnFileBegin(nullptr, 5), S_FALSE);
  EXPECT_EQ(sink->OnFileEnd(nullptr, S_OK), S_FALSE);
  EXPECT_EQ(sink->OnConnect(nullptr), S_FALSE);
  EXPECT_EQ(sink->OnDisconnect(nullptr), S_FALSE);
  EXPECT_EQ(sink->OnStatus(nullptr), S_FALSE);
}

TEST_F(EngineHostSinkTest, AnAttachedListenerTakesTheEventsOver) {
  RecordingObserver other;
  EngineSinkContext c;
  c.observer = &other;
  ComRef<IKxTransferEvents3> listener(NewEngineSink(c));
  auto sink = MakeSink();
  AttachSinkListener(sink.get(), listener.get());
  EXPECT_EQ(sink->Progress(300), S_OK);
  EXPECT_TRUE(observer_.done.empty());
  EXPECT_EQ(other.done, (std::vector<ULONGLONG>{300}));
  other.cancel = true;
  EXPECT_EQ(sink->Progress(1), kCancelled) << "the listener's answer comes back";
  AttachSinkListener(sink.get(), nullptr);
  EXPECT_EQ(sink->Progress(5), S_OK);
  EXPECT_EQ(observer_.done, (std::vector<ULONGLONG>{5}));
}

TEST_F(EngineHostSinkTest, QueriesGiveTheirFixedAnswers) {
  auto sink = MakeSink();
  LONG v = 0;
  EXPECT_EQ(sink->QueryRetryCount(&v), S_OK);
  EXPECT_EQ(v, 6);
  EXPECT_EQ(sink->QueryRetryDelay(&v), S_OK);
  EXPECT_EQ(v, 5);
  EXPECT_EQ(sink->QueryReplaceAction(nullptr, nullptr, &v), S_OK);
  EXPECT_EQ(v, 3);
  EXPECT_EQ(sink->QueryLockedAction(nullptr, 32, 0, &v), S_OK);
  EXPECT_EQ(v, 3);
  EXPECT_EQ(sink->QueryConnectRetryCount(&v), S_OK);
  EXPECT_EQ(v, 6);
  EXPECT_EQ(sink->QueryCacheMode(&v), S_FALSE);
  EXPECT_EQ(v, 3);
  EXPECT_EQ(sink->QueryRetryCount(nullptr), E_POINTER);
}

TEST_F(EngineHostSinkTest, TheSixtyFourBitHelperGetsItsModeTenTimes) {
  auto sink = MakeSink();
  BSTR helper = SysAllocString(L"C:\\Temp\\Disk1\\kxbew64.EXE");
  BSTR other = SysAllocString(L"C:\\Temp\\Disk1\\app.exe");
  LONG v = 0;
  EXPECT_EQ(sink->QueryFileMode(other, &v), S_OK);
  EXPECT_EQ(v, 3) << "the launcher's mode";
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(sink->QueryFileMode(helper, &v), S_OK);
    EXPECT_EQ(v, 4);
  }
  mode_ = 5;
  EXPECT_EQ(sink->QueryFileMode(helper, &v), S_OK);
  EXPECT_EQ(v, 5) << "the eleventh answer is the mode";
  SysFreeString(helper);
  SysFreeString(other);
}

TEST_F(EngineHostSinkTest, RatesShowOnlyForTheWebWhenChangedAndNotTooOften) {
  auto local = MakeSink(false);
  EXPECT_EQ(local->Rate(5000), S_OK);
  EXPECT_TRUE(observer_.rates.empty());

  auto web = MakeSink(true);
  EXPECT_EQ(web->Rate(0), S_OK);
  EXPECT_EQ(web->Rate(5000), S_OK);
  EXPECT_EQ(web->Rate(5000), S_OK);
  EXPECT_EQ(observer_.rates, (std::vector<ULONG>{5000})) << "zero and unchanged rates are skipped";
  Sleep(150);
  EXPECT_EQ(web->Rate(6000), S_OK);
  EXPECT_EQ(web->Rate(7000), S_OK);
  EXPECT_EQ(observer_.rates, (std::vector<ULONG>{5000, 6000}))
      << "a change right after the last redraw waits";
}

}  // namespace
}  // namespace kx
