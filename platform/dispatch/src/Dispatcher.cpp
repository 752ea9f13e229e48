#include "sw/dispatch/Dispatcher.h"

#include <exception>
#include <mutex>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

std::string Dispatcher::Key(std::string_view name) {
  return UpperCase(Trim(name));
}

void Dispatcher::Register(std::string_view object, std::int32_t number, CallHandler handler) {
  if (Trim(object).empty()) throw Error("A dispatch object needs a name");
  if (!handler) throw Error("A dispatch handler must not be empty");
  std::unique_lock lock(mutex_);
  std::string canonical(Trim(object));
  names_.emplace(Key(object), canonical);
  handlers_[{names_.at(Key(object)), number}] = std::make_shared<const CallHandler>(std::move(handler));
}

void Dispatcher::AddObject(std::string_view object) {
  if (Trim(object).empty()) throw Error("A dispatch object needs a name");
  std::unique_lock lock(mutex_);
  names_.emplace(Key(object), std::string(Trim(object)));
}

void Dispatcher::AddAlias(std::string_view alias, std::string_view object) {
  std::unique_lock lock(mutex_);
  auto it = names_.find(Key(object));
  if (it == names_.end()) throw Error("Unknown dispatch object " + std::string(object));
  std::string canonical = it->second;
  names_[Key(alias)] = canonical;
}

std::string Dispatcher::Resolve(std::string_view objectOrAlias) const {
  std::shared_lock lock(mutex_);
  auto it = names_.find(Key(objectOrAlias));
  return it == names_.end() ? std::string() : it->second;
}

bool Dispatcher::Has(std::string_view objectOrAlias, std::int32_t number) const {
  std::string object = Resolve(objectOrAlias);
  std::shared_lock lock(mutex_);
  return !object.empty() && handlers_.count({object, number}) != 0;
}

void Dispatcher::SetFallback(CallHandler handler) {
  std::unique_lock lock(mutex_);
  fallback_ = handler ? std::make_shared<const CallHandler>(std::move(handler)) : nullptr;
}

ReplyFrame Dispatcher::Dispatch(CallFrame call, std::uint64_t connectionId, std::string_view peer) const {
  CallContext context;
  context.object = Resolve(call.object);
  context.number = call.number;
  context.connectionId = connectionId;
  context.peer = std::string(peer);
  // The handler is shared, not copied: a copy of a handler that holds other functions allocates.
  std::shared_ptr<const CallHandler> handler;
  {
    std::shared_lock lock(mutex_);
    auto it = handlers_.find({context.object, call.number});
    if (it != handlers_.end()) handler = it->second;
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
  for (WireArg& a : call.args) {
    args.push_back(std::move(a.value));
    context.byRef.push_back(a.byRef);
  }
  ReplyFrame reply;
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
