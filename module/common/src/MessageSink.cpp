#include "sw/common/MessageSink.h"

#include <atomic>
#include <iostream>

namespace sw {
namespace {

std::atomic<MessageSink*> g_sink{nullptr};

StderrMessageSink& DefaultSink() {
  static StderrMessageSink sink;
  return sink;
}

bool OffersChoice(int flags) {
  return (flags & mb::kButtonMask) != mb::kOk;
}

}  // namespace

const char* MessageKindName(MessageKind kind) {
  switch (kind) {
    case MessageKind::Question:
      return "question";
    case MessageKind::Information:
      return "information";
    case MessageKind::Error:
      return "error";
    case MessageKind::Warning:
      return "warning";
    case MessageKind::Prompt:
      return "prompt";
    case MessageKind::Plain:
      return "plain";
  }
  return "plain";
}

MessageKind KindOfFlags(int flags) {
  switch (flags & mb::kIconMask) {
    case mb::kIconQuestion:
      return MessageKind::Question;
    case mb::kIconStop:
      return MessageKind::Error;
    case mb::kIconExclamation:
      return MessageKind::Warning;
    case mb::kIconInformation:
      return MessageKind::Information;
    default:
      return MessageKind::Plain;
  }
}

MessageSink& CurrentMessageSink() {
  MessageSink* sink = g_sink.load();
  return sink ? *sink : DefaultSink();
}

MessageSink* SetMessageSink(MessageSink* sink) {
  return g_sink.exchange(sink);
}

int StderrMessageSink::ShowBox(const MessageBoxRequest& box) {
  std::cerr << "[" << MessageKindName(box.kind) << "] " << box.caption << ": " << box.text << '\n';
  return OffersChoice(box.flags) ? id::kNo : id::kOk;
}

void StderrMessageSink::Beep() {
  std::cerr << '\a' << std::flush;
}

void StderrMessageSink::ShowMessage(const std::string& text) {
  std::cerr << text << '\n';
}

int RecordingMessageSink::ShowBox(const MessageBoxRequest& box) {
  boxes_.push_back(box);
  if (!OffersChoice(box.flags)) return id::kOk;
  if (answers_.empty()) return defaultAnswer_;
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void RecordingMessageSink::Clear() {
  boxes_.clear();
  messages_.clear();
  answers_.clear();
  beeps_ = 0;
}

}  // namespace sw
