#include "sw/dispatch/Dispatcher.h"

#include <exception>
#include <mutex>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

bool Dispatcher::NameLess::operator()(std::string_view a, std::string_view b) const {
  return CompareText(a, b) < 0;
}

const std::string* Dispatcher::Find(std::string_view name) const {
  const auto it = names_.find(TrimmedView(name));
  return it == names_.end() ? nullptr : &it->second;
}

void Dispatcher::Register(std::string_view object, std::int32_t number, CallHandler handler) {
  if (Trim(object).empty()) throw Error("A dispatch object needs a name");
  if (!handler) throw Error("A dispatch handler must not be empty");
  std::unique_lock lock(mutex_);
  const std::string name(TrimmedView(object));
  // A name known already (in any case) keeps its canonical spelling.
  const std::string& canonical = names_.emplace(name, name).first->second;
  handlers_[{canonical, number}] = std::make_shared<const CallHandler>(std::move(handler));
}

void Dispatcher::AddObject(std::string_view object) {
  if (Trim(object).empty()) throw Error("A dispatch object needs a name");
  std::unique_lock lock(mutex_);
  const std::string name(TrimmedView(object));
  names_.emplace(name, name);
}

void Dispatcher::AddAlias(std::string_view alias, std::string_view object) {
  std::unique_lock lock(mutex_);
  const std::string* canonical = Find(object);
  if (canonical == nullptr) throw Error("Unknown dispatch object " + std::string(object));
  names_[std::string(TrimmedView(alias))] = std::string(*canonical);
}

std::string Dispatcher::Resolve(std::string_view objectOrAlias) const {
  std::shared_lock lock(mutex_);
  const std::string* canonical = Find(objectOrAlias);
  return canonical == nullptr ? std::string() : *canonical;
}

bool Dispatcher::Has(std::string_view objectOrAlias, std::int32_t number) const {
  std::shared_lock lock(mutex_);
  const std::string* canonical = Find(objectOrAlias);
  return canonical != nullptr && handlers_.count(HandlerLess::View{*canonical, number}) != 0;
}

void Dispatcher::SetFallback(CallHandler handler) {
  std::unique_lock lock(mutex_);
  fallback_ = handler ? std::make_shared<const CallHandler>(std::move(handler)) : nullptr;
}

ReplyFrame Dispatcher::Dispatch(CallFrame call, std::uint64_t connectionId, std::string_view peer) const {
  CallContext context;
  context.number = call.number;
  context.connectionId = connectionId;
  context.peer = std::string(peer);
  // The handler is shared, not copied: a copy of a handler that holds other functions allocates.
  std::shared_ptr<const CallHandler> handler;
  {
    std::shared_lock lock(mutex_);
    if (const std::string* canonical = Find(call.object)) {
      context.object = *canonical;
      const auto it = handlers_.find(HandlerLess::View{*canonical, call.number});
      if (it != handlers_.end()) handler = it->second;
    }
    if (!handler) handler = fallback_;
  }
  if (!handler && context.object.empty())
    return ReplyFrame::Fault(call.requestId, "Unknown object " + call.object);
  if (context.object.empty()) context.object = call.object;
  if (!handler)
    return ReplyFrame::Fault(call.requestId,
                             "Unknown call number " + std::to_string(call.number) + " of " + context.object);

  std::vector<Variant> args;
  args.reserve(call.args.size());
  std::size_t byRefCount = 0;
  for (WireArg& a : call.args) {
    args.push_back(std::move(a.value));
    context.byRef.push_back(a.byRef);
    byRefCount += a.byRef ? 1 : 0;
  }
  ReplyFrame reply;
  reply.written.reserve(byRefCount);
  reply.requestId = call.requestId;
  try {
    reply.result = (*handler)(context, args);
  } catch (const std::exception& e) {
    return ReplyFrame::Fault(call.requestId, e.what());
  } catch (...) {
    return ReplyFrame::Fault(call.requestId, "Unknown error in call " + std::to_string(call.number));
  }
  // A handler that shrank the list cannot write back what it removed.
  for (std::size_t i = 0; i < call.args.size() && i < args.size(); ++i)
    if (call.args[i].byRef) reply.written.push_back({static_cast<std::uint32_t>(i), std::move(args[i])});
  return reply;
}

}  // namespace sw
