#include "platform/message_wait.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

namespace kx {
namespace {

int g_dispatched = 0;

LRESULT CALLBACK CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_APP) {
    ++g_dispatched;
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

// A message-only window whose WM_APP calls are counted, for the life of the test.
class MessageWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_dispatched = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"kx_message_wait_test";
    ASSERT_TRUE(RegisterClassW(&wc));
    window_ = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            wc.hInstance, nullptr);
    ASSERT_TRUE(window_);
    event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(event_);
  }
  void TearDown() override {
    CloseHandle(event_);
    DestroyWindow(window_);
    UnregisterClassW(L"kx_message_wait_test", GetModuleHandleW(nullptr));
  }
  HWND window_ = nullptr;
  HANDLE event_ = nullptr;
};

TEST_F(MessageWaitTest, AMessageSeenBeforeTheWaitIsStillDispatched) {
  PostMessageW(window_, WM_APP, 0, 0);
  // Looking at the queue without removing marks the message as seen, which
  // is what a shell call between posting and waiting may do.
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  // The handler of the message is what ends the wait in real use: here a
  // thread sets the event only after the message was dispatched.
  std::thread setter([this] {
    for (int i = 0; i < 500 && g_dispatched == 0; ++i) Sleep(10);
    SetEvent(event_);
  });
  EXPECT_EQ(wait_pumping_messages(event_, 10000), WAIT_OBJECT_0);
  setter.join();
  EXPECT_EQ(g_dispatched, 1);
}

TEST_F(MessageWaitTest, TimesOutAndKeepsAQuitRequestForTheCaller) {
  PostQuitMessage(4);
  EXPECT_EQ(wait_pumping_messages(event_, 100), static_cast<DWORD>(WAIT_TIMEOUT));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 4u);
}

}  // namespace
}  // namespace kx
