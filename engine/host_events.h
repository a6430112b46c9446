// Calling the host's transfer events: the newest event interface the host
// answers, and BSTR arguments that live for one call.
#pragma once

#include <windows.h>

#include <kxengine.h>

#include <string>

#include "engine/session.h"

namespace kxe {

// Calls the host's optional events through the newest interface it has.
class HostEvents {
 public:
  explicit HostEvents(IKxTransferEvents* host) : host_(host) {
    if (host_) host_->QueryInterface(IID_IKxTransferEvents3, reinterpret_cast<void**>(&v3_));
  }
  ~HostEvents() {
    if (v3_) v3_->Release();
  }
  HostEvents(const HostEvents&) = delete;
  HostEvents& operator=(const HostEvents&) = delete;

  IKxTransferEvents* operator->() const { return host_; }
  explicit operator bool() const { return host_ != nullptr; }
  // The status and rate events; null when the host has only the first
  // interface.
  IKxTransferEvents3* v3() const { return v3_; }

 private:
  IKxTransferEvents* host_;
  IKxTransferEvents3* v3_ = nullptr;
};

// A BSTR for the duration of one call.
class TempBstr {
 public:
  explicit TempBstr(const std::wstring& text) : b_(ToBstr(text)) {}
  ~TempBstr() { SysFreeString(b_); }
  TempBstr(const TempBstr&) = delete;
  TempBstr& operator=(const TempBstr&) = delete;
  operator BSTR() const { return b_; }

 private:
  BSTR b_;
};

}  // namespace kxe
