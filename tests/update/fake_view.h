// SPDX-License-Identifier: MIT
#pragma once
// A recording main window and progress windows for driving the update core without a toolkit.
// Everything the core asks of them is kept, in order, for the tests to read back.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/key_state.h"
#include "update/update_view.h"

namespace zmr::test {

// What one progress window was told; outlives the widget so that tests can read it afterwards.
struct ProgressWindowRecord {
  bool created = false;
  bool destroyed = false;
  std::string caption;
  std::string message;
  std::vector<std::string> messages;  // every message label set, in order
  int32_t lower = 0;
  int32_t upper = 0;
  int32_t step = 0;
  int32_t position = 0;
  std::vector<int32_t> positions;       // every bar position set, in order
  std::vector<uint64_t> positionTimes;  // when each was set (RecordingView::now)
  uint64_t createdAt = 0;
  uint64_t destroyedAt = UINT64_MAX;
  std::string percent = " 0 %";
  int percentWrites = 0;
  int drains = 0;
};

class RecordingView;

class RecordingWidget final : public ProgressWindow {
 public:
  RecordingWidget(RecordingView& view, std::shared_ptr<ProgressWindowRecord> record,
                  bool createFails)
      : view_(view), record_(std::move(record)), createFails_(createFails) {}
  ~RecordingWidget() override;

  bool Create() override;
  void Destroy() override;
  void SetCaption(const std::string& text) override { record_->caption = text; }
  void SetMessage(const std::string& text) override {
    record_->message = text;
    record_->messages.push_back(text);
  }
  void SetBarRange(int32_t lower, int32_t upper) override {
    record_->lower = lower;
    record_->upper = upper;
  }
  void SetBarStep(int32_t step) override { record_->step = step; }
  int32_t SetBarPosition(int32_t position) override {
    const int32_t previous = record_->position;
    record_->position = position;
    record_->positions.push_back(position);
    record_->positionTimes.push_back(Now());
    return previous;
  }
  std::string PercentText() const override { return record_->percent; }
  void SetPercentText(const std::string& text) override {
    record_->percent = text;
    ++record_->percentWrites;
  }
  void DrainEvents() override;

 private:
  uint64_t Now() const;

  RecordingView& view_;
  std::shared_ptr<ProgressWindowRecord> record_;
  bool createFails_;
};

struct ShownMessage {
  Message message;
  int openWindows = 0;  // progress windows still open while the box was up
};

class RecordingView final : public UpdateView {
 public:
  void RefreshFields(const DisplayFields& fields) override {
    shownFields = fields;
    ++refreshes;
  }
  void EnableDownloadButton(bool enable) override {
    buttonEnabled = enable;
    events.push_back(enable ? "button:enable" : "button:disable");
  }
  void FocusDownloadButton() override {
    buttonFocused = buttonEnabled;
    events.push_back("button:focus");
  }
  bool IsWindowEnabled() const override { return windowEnabled; }
  void EnableWindow(bool enable) override {
    windowEnabled = enable;
    events.push_back(enable ? "owner:enable" : "owner:disable");
  }
  void ShowMessage(const Message& message) override {
    messages.push_back({message, openWindows});
    events.push_back("message:" + std::to_string(message.stringId));
    if (onMessage) onMessage(message);
  }
  std::unique_ptr<ProgressWindow> MakeProgressWindow() override {
    progress.push_back(std::make_shared<ProgressWindowRecord>());
    return std::make_unique<RecordingWidget>(*this, progress.back(), createFails);
  }

  bool windowEnabled = true;
  bool buttonEnabled = true;
  bool buttonFocused = false;
  bool createFails = false;  // progress windows cannot be made
  int openWindows = 0;
  int refreshes = 0;
  DisplayFields shownFields;
  std::vector<ShownMessage> messages;
  std::vector<std::shared_ptr<ProgressWindowRecord>> progress;
  std::vector<std::string> events;
  std::function<void(const Message&)> onMessage;
  std::function<void()> onDrain;
  std::function<uint64_t()> now;  // the time that progress windows note; 0 without
};

inline uint64_t RecordingWidget::Now() const {
  return view_.now ? view_.now() : 0;
}

inline RecordingWidget::~RecordingWidget() {
  if (record_->created && !record_->destroyed) --view_.openWindows;
}

inline bool RecordingWidget::Create() {
  view_.events.push_back("widget:create");
  if (createFails_) return false;
  record_->created = true;
  record_->createdAt = Now();
  ++view_.openWindows;
  return true;
}

inline void RecordingWidget::Destroy() {
  view_.events.push_back("widget:destroy");
  if (record_->created && !record_->destroyed) --view_.openWindows;
  if (!record_->destroyed) record_->destroyedAt = Now();
  record_->destroyed = true;
}

inline void RecordingWidget::DrainEvents() {
  ++record_->drains;
  if (view_.onDrain) view_.onDrain();
}

// Keys held at the press; records which keys were looked at.
class FakeKeys final : public platform::KeyState {
 public:
  FakeKeys(bool shift, bool k) : shift_(shift), k_(k) {}
  bool IsDown(platform::Key key) const override {
    asked.push_back(key);
    return key == platform::Key::Shift ? shift_ : k_;
  }
  mutable std::vector<platform::Key> asked;

 private:
  bool shift_;
  bool k_;
};

}  // namespace zmr::test
