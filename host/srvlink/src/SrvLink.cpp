#include "sw/srvlink/SrvLink.h"

#include <map>
#include <mutex>
#include <tuple>

#include "sw/core/Text.h"

namespace sw {

namespace {

using Key = std::tuple<std::string, int, std::string>;

struct Links {
  std::mutex mutex;
  std::map<Key, std::shared_ptr<RemoteObject>> open;
  RemoteOptions options;
};

Links& TheLinks() {
  static Links links;
  return links;
}

// Class identifiers compare without regard to case, addresses as given after trimming.
Key MakeKey(std::string_view address, int port, std::string_view classId) {
  return {Trim(address), port, UpperCase(Trim(classId))};
}

}  // namespace

std::shared_ptr<DispatchObject> GetServerInterface(std::string_view address, int port,
                                                   std::string_view classId) {
  Links& links = TheLinks();
  Key key = MakeKey(address, port, classId);
  RemoteOptions options;
  {
    std::lock_guard lock(links.mutex);
    auto it = links.open.find(key);
    if (it != links.open.end() && it->second->IsConnected()) return it->second;
    options = links.options;
  }
  // Connect outside the lock: it may take up to the connect timeout.
  auto object = std::make_shared<RemoteObject>(Trim(address), port, Trim(classId), options);
  std::lock_guard lock(links.mutex);
  links.open[key] = object;
  return object;
}

void FreeConnection(std::string_view address, int port, std::string_view classId) {
  Links& links = TheLinks();
  std::shared_ptr<RemoteObject> old;
  {
    std::lock_guard lock(links.mutex);
    auto it = links.open.find(MakeKey(address, port, classId));
    if (it == links.open.end()) return;
    old = std::move(it->second);
    links.open.erase(it);
  }
  old->Close();
}

void SetConnectionOptions(const RemoteOptions& options) {
  Links& links = TheLinks();
  std::lock_guard lock(links.mutex);
  links.options = options;
}

}  // namespace sw
