#pragma once
// The one replaceable channel through which every message box of the module goes. The forms plug in a sink
// that shows real dialogs; headless runs and tests plug in a RecordingMessageSink that records each box and
// answers from a script. Without a sink set, a default one writes to stderr and answers No.
#include <deque>
#include <string>
#include <vector>

namespace sw {

// Button and icon flags of a message box, with the values of the classic message-box call.
namespace mb {
inline constexpr int kOk = 0x00;
inline constexpr int kOkCancel = 0x01;
inline constexpr int kYesNo = 0x04;
inline constexpr int kIconStop = 0x10;
inline constexpr int kIconQuestion = 0x20;
inline constexpr int kIconExclamation = 0x30;
inline constexpr int kIconInformation = 0x40;
inline constexpr int kButtonMask = 0x0F;
inline constexpr int kIconMask = 0xF0;
}  // namespace mb

// Codes of the pressed button.
namespace id {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace id

// What a box is for: Yes/No question, information, error, warning, or a prompt (information icon, used for
// read and write failures). Plain is a box whose flags name none of those.
enum class MessageKind { Question, Information, Error, Warning, Prompt, Plain };

const char* MessageKindName(MessageKind kind);

// The kind a set of flags shows: Yes/No with the question icon is a question, else the icon decides.
MessageKind KindOfFlags(int flags);

struct MessageBoxRequest {
  MessageKind kind = MessageKind::Plain;
  std::string caption;
  std::string text;
  int flags = 0;
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows a modal box and returns the code of the pressed button (id::kYes, id::kNo, id::kOk, ...).
  virtual int ShowBox(const MessageBoxRequest& box) = 0;
  // The system beep.
  virtual void Beep() = 0;
  // A plain message dialog with an OK button and no caption of ours (the formula evaluator's).
  virtual void ShowMessage(const std::string& text) = 0;
};

// The sink in use: the one last set, or the default stderr sink.
MessageSink& CurrentMessageSink();
// Sets the sink in use (not owned; it must outlive its use) and returns the previous one (nullptr when that
// was the default). nullptr restores the default sink.
MessageSink* SetMessageSink(MessageSink* sink);

// Sets a sink for the lifetime of this object and restores the previous one afterwards.
class ScopedMessageSink {
 public:
  explicit ScopedMessageSink(MessageSink& sink) : previous_(SetMessageSink(&sink)) {}
  ~ScopedMessageSink() { SetMessageSink(previous_); }
  ScopedMessageSink(const ScopedMessageSink&) = delete;
  ScopedMessageSink& operator=(const ScopedMessageSink&) = delete;

 private:
  MessageSink* previous_;
};

// Writes every box and message to stderr and answers No to a question, OK otherwise.
class StderrMessageSink : public MessageSink {
 public:
  int ShowBox(const MessageBoxRequest& box) override;
  void Beep() override;
  void ShowMessage(const std::string& text) override;
};

// Records every box, beep and plain message. A box with a single OK button is answered OK. A box that offers
// a choice (Yes/No, OK/Cancel, ...) takes the next answer of the script, or the default answer once the
// script is used up.
class RecordingMessageSink : public MessageSink {
 public:
  int ShowBox(const MessageBoxRequest& box) override;
  void Beep() override { ++beeps_; }
  void ShowMessage(const std::string& text) override { messages_.push_back(text); }

  // Queues answers given to the next boxes, in order.
  void Answer(int code) { answers_.push_back(code); }
  void AnswerYes() { Answer(id::kYes); }
  void AnswerNo() { Answer(id::kNo); }
  // The answer to a choice once the script is used up (No unless set).
  void SetDefaultAnswer(int code) { defaultAnswer_ = code; }

  const std::vector<MessageBoxRequest>& Boxes() const { return boxes_; }
  const std::vector<std::string>& Messages() const { return messages_; }
  int Beeps() const { return beeps_; }
  std::size_t PendingAnswers() const { return answers_.size(); }
  void Clear();

 private:
  std::vector<MessageBoxRequest> boxes_;
  std::vector<std::string> messages_;
  std::deque<int> answers_;
  int defaultAnswer_ = id::kNo;
  int beeps_ = 0;
};

}  // namespace sw
