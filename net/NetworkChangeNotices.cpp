#include "net/NetworkChangeNotices.h"

// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>
// clang-format on

namespace kestel {

NetworkChangeNotices::NetworkChangeNotices(HWND window, UINT message)
    : window_(window), message_(message), iphlpapi_(LoadSystemLibrary("iphlpapi.dll")) {
  if (!iphlpapi_ || window_ == nullptr) return;
  // No notice for what is there already: the follower has just taken its own look.
  if (const auto notify = ProcedureOf<decltype(NotifyRouteChange2)>(iphlpapi_.get(), "NotifyRouteChange2"))
    notify(
        AF_UNSPEC,
        [](void* self, MIB_IPFORWARD_ROW2*, MIB_NOTIFICATION_TYPE) {
          static_cast<const NetworkChangeNotices*>(self)->Post();
        },
        this, FALSE, &routes_);
  if (const auto notify =
          ProcedureOf<decltype(NotifyUnicastIpAddressChange)>(iphlpapi_.get(), "NotifyUnicastIpAddressChange"))
    notify(
        AF_UNSPEC,
        [](void* self, MIB_UNICASTIPADDRESS_ROW*, MIB_NOTIFICATION_TYPE) {
          static_cast<const NetworkChangeNotices*>(self)->Post();
        },
        this, FALSE, &addresses_);
}

NetworkChangeNotices::~NetworkChangeNotices() {
  if (!iphlpapi_) return;
  const auto cancel = ProcedureOf<decltype(CancelMibChangeNotify2)>(iphlpapi_.get(), "CancelMibChangeNotify2");
  if (cancel == nullptr) return;
  if (routes_ != nullptr) cancel(routes_);
  if (addresses_ != nullptr) cancel(addresses_);
}

// The one thing done on the platform's threads; window_ and message_ never change after construction.
void NetworkChangeNotices::Post() const {
  PostMessageW(window_, message_, 0, 0);
}

}  // namespace kestel
