// The root of the widget set: named components and controls with their common state.
// Widgets hold their state, enforce their rules and raise their events synchronously;
// a view, when there is one, mirrors them.
#pragma once

#include <functional>
#include <vector>

#include "platform/SysUtils.h"

class TControl;
using TNotifyEvent = std::function<void(TObject* sender)>;

// Something a view listens to: called after a control's state has changed.
using TChangeListener = std::function<void()>;

class TControl : public TObject {
 public:
  explicit TControl(UString name) : name_(std::move(name)) {}
  UString ClassName() const override { return u"TControl"; }

  const UString& Name() const { return name_; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) {
    enabled_ = enabled;
    Changed();
  }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) {
    visible_ = visible;
    Changed();
  }
  // Adds a hook called after every change of the control's state: a view's, or an
  // automation watcher's. Hooks stay for the control's life.
  void AddChangeListener(TChangeListener listener) { listeners_.push_back(std::move(listener)); }
  void SetChangeListener(TChangeListener listener) { AddChangeListener(std::move(listener)); }

 protected:
  void Changed() {
    for (const auto& l : listeners_) l();
  }

 private:
  UString name_;
  bool enabled_ = true;
  bool visible_ = true;
  std::vector<TChangeListener> listeners_;
};

// A push button. A disabled button ignores clicks.
class TButton : public TControl {
 public:
  using TControl::TControl;
  UString ClassName() const override { return u"TButton"; }

  UString Caption;
  // Escape presses a cancel button; Enter presses a default button.
  bool Cancel = false;
  bool Default = false;
  TNotifyEvent OnClick;

  // A person's click. Returns whether the button took it.
  bool Click() {
    if (!Enabled() || !Visible()) return false;
    if (OnClick) OnClick(this);
    return true;
  }
};

// A read-only text pane: the status text of a status bar.
class TStatusPane : public TControl {
 public:
  using TControl::TControl;
  UString ClassName() const override { return u"TStatusPane"; }
  const UString& Text() const { return text_; }
  void SetText(UString text) {
    text_ = std::move(text);
    Changed();
  }
  int Width = 0;

 private:
  UString text_;
};

// A progress bar showing a whole-number percentage.
class TProgressPane : public TControl {
 public:
  using TControl::TControl;
  UString ClassName() const override { return u"TProgressPane"; }
  std::uint16_t Percent() const { return percent_; }
  void SetPercent(std::uint16_t percent) {
    if (percent == percent_) return;  // called once per row of a run; views repaint on change only
    percent_ = percent;
    Changed();
  }
  // The LED bar's segment count.
  int Segments = 20;
  int Width = 0;

 private:
  std::uint16_t percent_ = 0;
};
