// SPDX-License-Identifier: MIT
#pragma once
// A front end that shows nothing and keeps only what a run's checks need: the closing messages
// and whether the window and its button were given back. For runs by the thousand (the campaign,
// the benchmark), where the recording view of the unit tests would cost more than the run.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "update/update_view.h"

namespace zmr::test {

class QuietProgressWindow final : public ProgressWindow {
 public:
  bool Create() override { return true; }
  void Destroy() override {}
  void SetCaption(const std::string&) override {}
  void SetMessage(const std::string&) override {}
  void SetBarRange(int32_t, int32_t) override {}
  void SetBarStep(int32_t) override {}
  int32_t SetBarPosition(int32_t position) override { return std::exchange(position_, position); }
  std::string PercentText() const override { return percent_; }
  void SetPercentText(const std::string& text) override { percent_ = text; }
  void DrainEvents() override {}

 private:
  int32_t position_ = 0;
  std::string percent_ = " 0 %";
};

class QuietView final : public UpdateView {
 public:
  void RefreshFields(const DisplayFields&) override {}
  void EnableDownloadButton(bool enable) override { buttonEnabled = enable; }
  void FocusDownloadButton() override {}
  bool IsWindowEnabled() const override { return windowEnabled; }
  void EnableWindow(bool enable) override { windowEnabled = enable; }
  void ShowMessage(const Message& message) override { messages.push_back(message.stringId); }
  std::unique_ptr<ProgressWindow> MakeProgressWindow() override {
    return std::make_unique<QuietProgressWindow>();
  }

  std::vector<uint32_t> messages;  // string IDs of the message boxes, in order
  bool buttonEnabled = true;
  bool windowEnabled = true;
};

}  // namespace zmr::test
