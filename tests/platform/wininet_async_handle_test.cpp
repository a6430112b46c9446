#include "platform/wininet_async_handle.h"

#include <gtest/gtest.h>

#include "base/web_source.h"

namespace kx {
namespace {

void complete(wininet_async_handle* h, DWORD_PTR result, DWORD error) {
  INTERNET_ASYNC_RESULT r{result, error};
  wininet_async_handle::status_callback(nullptr, h->context(), INTERNET_STATUS_REQUEST_COMPLETE, &r,
                                        sizeof(r));
}

TEST(WininetAsyncHandle, CompletionsWakeOnlyTheirOwnRequest) {
  wininet_async_handle* a = wininet_async_handle::create();
  wininet_async_handle* b = wininet_async_handle::create();
  ASSERT_TRUE(a && b);
  a->arm();
  b->arm();
  // A late completion of another request must not end this wait.
  complete(b, 0, ERROR_INTERNET_CONNECTION_RESET);
  EXPECT_EQ(a->wait_async(ERROR_IO_PENDING, 200), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
  EXPECT_EQ(b->wait_async(ERROR_IO_PENDING, 1000),
            static_cast<DWORD>(ERROR_INTERNET_CONNECTION_RESET));
  complete(a, 1, 0);
  EXPECT_EQ(a->wait_async(ERROR_IO_PENDING, 1000), 0u);
  // Synchronous outcomes need no wait.
  EXPECT_EQ(a->wait_async(0, 1000), 0u);
  EXPECT_EQ(a->wait_async(ERROR_INTERNET_NAME_NOT_RESOLVED, 1000),
            static_cast<DWORD>(ERROR_INTERNET_NAME_NOT_RESOLVED));
  EXPECT_EQ(a->release(), 0);
  EXPECT_EQ(b->release(), 0);
}

TEST(WininetAsyncHandle, WinInetsReferenceOutlivesTheOwner) {
  wininet_async_handle* h = wininet_async_handle::create();
  ASSERT_TRUE(h);
  h->lend_to_wininet();
  h->lend_to_wininet();  // taken once only
  EXPECT_EQ(h->release(), 1);
  // After the owner let go, late callbacks still find a live object.
  h->arm();
  complete(h, 0, ERROR_INTERNET_TIMEOUT);
  wininet_async_handle::status_callback(nullptr, 0, INTERNET_STATUS_REQUEST_COMPLETE, nullptr, 0);
  h->add_ref();
  wininet_async_handle::status_callback(nullptr, h->context(), INTERNET_STATUS_HANDLE_CLOSING,
                                        nullptr, 0);
  // The closing notice dropped WinInet's reference, and only once.
  wininet_async_handle::status_callback(nullptr, h->context(), INTERNET_STATUS_HANDLE_CLOSING,
                                        nullptr, 0);
  EXPECT_EQ(h->release(), 0);
}

TEST(WininetAsyncHandle, CancelEndsAWait) {
  static int asked = 0;
  asked = 0;
  const web_policy previous = set_web_policy(web_policy{true, nullptr, [] { return ++asked > 2; }});
  wininet_async_handle* h = wininet_async_handle::create();
  ASSERT_TRUE(h);
  h->arm();
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(h->wait_async(ERROR_IO_PENDING, 20000), static_cast<DWORD>(ERROR_CANCELLED));
  EXPECT_LT(GetTickCount64() - start, 5000u);
  set_web_policy(previous);
  h->release();
}

}  // namespace
}  // namespace kx
