// The windows as seen by the language code: every named widget and menu
// action is a component whose caption, hint, items and column captions a
// language file may replace.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "i18n/language.h"

class QObject;
class QWidget;

namespace tersify::ui {

// The property of a widget whose hint is a message text set at run time, not
// a caption of the language file.
inline constexpr const char* kMessageHint = "messageHint";

class QtComponent : public TranslatableComponent {
 public:
  explicit QtComponent(QObject* object) : object_(object) {}
  std::string Name() const override;
  bool HasCaption() const override;
  void SetCaption(const std::string& text) override;
  std::string Caption() const;
  bool HasHint() const override;
  void SetHint(const std::string& text) override;
  std::string Hint() const;
  std::size_t ItemCount() const override;
  void SetItem(std::size_t index, const std::string& text) override;
  std::string Item(std::size_t index) const;
  int SelectedItem() const override;
  void SelectItem(int index) override;
  std::size_t ColumnCount() const override;
  void SetColumnCaption(std::size_t index, const std::string& text) override;
  std::string ColumnCaption(std::size_t index) const;

 private:
  QPointer<QObject> object_;
};

class QtWindow : public TranslatableWindow {
 public:
  explicit QtWindow(QWidget* window) : window_(window) {}
  std::string Name() const override;
  void SetTitle(const std::string& text) override;
  std::vector<TranslatableComponent*> Components() override;
  void LanguageChanged() override {
    if (onLanguageChanged) onLanguageChanged();
  }
  std::string Title() const;
  // The named components with texts, for checks of the language files.
  std::vector<QtComponent*> QtComponents();

  std::function<void()> onLanguageChanged;

 private:
  QWidget* window_;
  std::vector<std::unique_ptr<QtComponent>> components_;
};

// The language file's lines for every text a window shows now: title,
// captions, hints, items and column captions, in the window's order.
std::vector<std::string> DescribeWindowTexts(QtWindow& window);

}  // namespace tersify::ui
