#pragma once
// The server side of calls by number: a table from (object, call number) to a handler. Objects are named by
// their name ("Icomm") or by any alias such as their class identifier; names compare without regard to case.
// A handler receives the arguments as sent and may overwrite any of them; the values of the by-reference ones
// go back to the caller. An exception thrown by a handler becomes a fault reply carrying its message, so the
// caller raises exactly that text.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sw/core/Variant.h"
#include "sw/dispatch/Wire.h"

namespace sw {

// What a handler knows about the call besides its arguments.
struct CallContext {
  std::string object;  // the canonical object name the call resolved to
  std::int32_t number = 0;
  std::vector<bool> byRef;  // per argument
  std::uint64_t connectionId =
      0;             // distinct per client connection of a TcpServer (0 when dispatched directly)
  std::string peer;  // "address:port" of the client, when known
};

using CallHandler = std::function<Variant(CallContext& context, std::vector<Variant>& args)>;

class Dispatcher {
 public:
  // Registers (or replaces) the handler of one call number of an object.
  void Register(std::string_view object, std::int32_t number, CallHandler handler);
  // Makes an object known without any handler (calls to it reach the fallback).
  void AddObject(std::string_view object);
  // Makes `alias` (for example a class identifier) name the same object.
  void AddAlias(std::string_view alias, std::string_view object);
  // The canonical name for a name or alias; empty when unknown.
  std::string Resolve(std::string_view objectOrAlias) const;
  bool Has(std::string_view objectOrAlias, std::int32_t number) const;
  // Answers every call that no registered handler takes, known object or not (test servers record them).
  // The context's object is then the canonical name when known, else the name as sent.
  void SetFallback(CallHandler handler);

  // Runs the call and builds its reply; never throws. Unknown objects and numbers give a fault reply.
  ReplyFrame Dispatch(CallFrame call, std::uint64_t connectionId = 0, std::string_view peer = {}) const;

 private:
  // Names and aliases compare without regard to case; a call's object name is looked up as a view, so the
  // lookup copies nothing.
  struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  // (canonical object name, call number), found by a view of the name.
  struct HandlerLess {
    using is_transparent = void;
    using View = std::pair<std::string_view, std::int32_t>;
    static View Of(const std::pair<std::string, std::int32_t>& k) { return {k.first, k.second}; }
    static View Of(const View& k) { return k; }
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
      return Of(a) < Of(b);
    }
  };
  // The canonical name of a trimmed name or alias; null when unknown. The caller holds the lock.
  const std::string* Find(std::string_view name) const;
  mutable std::shared_mutex mutex_;
  std::map<std::string, std::string, NameLess> names_;  // trimmed name or alias -> canonical name
  std::map<std::pair<std::string, std::int32_t>, std::shared_ptr<const CallHandler>, HandlerLess> handlers_;
  std::shared_ptr<const CallHandler> fallback_;
};

}  // namespace sw
