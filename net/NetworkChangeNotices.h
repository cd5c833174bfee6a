// The platform's notices of changed routes and unicast addresses (IPv4 and IPv6), turned into one
// message posted to a window. The notices come on threads of the platform's own, which do nothing
// but post. The IP helper library is loaded only here, so a run that does not follow never loads it.
// Where a notice cannot be registered it is left out: the follower's poll covers what it misses.
#pragma once

#include <windows.h>

#include "base/SystemLibrary.h"

namespace kestel {

class NetworkChangeNotices {
 public:
  NetworkChangeNotices(HWND window, UINT message);
  // Once the cancellations return, no notice runs and none will: the window may go after this.
  ~NetworkChangeNotices();
  NetworkChangeNotices(const NetworkChangeNotices&) = delete;
  NetworkChangeNotices& operator=(const NetworkChangeNotices&) = delete;

 private:
  void Post() const;

  HWND window_;
  UINT message_;
  UniqueModule iphlpapi_;
  HANDLE routes_ = nullptr;
  HANDLE addresses_ = nullptr;
};

}  // namespace kestel
