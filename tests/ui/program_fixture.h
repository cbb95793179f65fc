// The desktop program started in a temporary folder, with a scripted user and
// scripted file dialogs.
#pragma once

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/application.h"
#include "support/scripted_interaction.h"
#include "ui/file_chooser.h"
#include "ui/main_window.h"

namespace tersify::testing {

class ScriptedChooser : public ui::FileChooser {
 public:
  std::optional<QString> folder;
  QStringList files;
  std::optional<QString> saveName;
  int calls = 0;
  // What the last dialog was asked to show.
  QString lastText, lastFilter, lastFolder;
  bool lastMultiple = false;
  std::optional<QString> ChooseFolder(QWidget*, const QString& instruction) override {
    ++calls;
    lastText = instruction;
    return folder;
  }
  QStringList OpenFiles(QWidget*, const QString& title, const QString& filter, bool multiple,
                        const QString& folder) override {
    ++calls;
    lastFolder = folder;
    lastText = title;
    lastFilter = filter;
    lastMultiple = multiple;
    return files;
  }
  std::optional<QString> SaveFile(QWidget*, const QString& filter, const QString&) override {
    ++calls;
    lastFilter = filter;
    return saveName;
  }
};

inline void WriteFile(const QString& path, const std::string& bytes) {
  std::ofstream out(path.toStdString(), std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll().toStdString();
}

// A scripted user whose message box can fail once, for the failure paths.
class FixtureUser : public ScriptedInteraction {
 public:
  std::string failOn;                // a box whose text holds this fails (throws) once
  std::function<void()> onQuestion;  // called as a question is asked
  void MessageBox(const std::string& text, MessageKind kind) override {
    ScriptedInteraction::MessageBox(text, kind);
    if (!failOn.empty() && text.find(failOn) != std::string::npos) {
      failOn.clear();
      throw std::runtime_error("the box could not be shown");
    }
  }
  Answer Question(const std::string& text, MessageKind kind, QuestionButtons buttons) override {
    if (onQuestion) onQuestion();
    return ScriptedInteraction::Question(text, kind, buttons);
  }
};

struct Program {
  QTemporaryDir dir;
  FixtureUser user;
  ScriptedChooser chooser;
  std::unique_ptr<Application> app;
  // Programs the application asked to start: program, argument, working folder.
  struct Started {
    std::string program, argument, folder;
  };
  std::vector<Started> started;
  bool startSucceeds = true;
  bool realBoxes = false;  // the program's own message boxes instead of the scripted user

  QString Path(const QString& name) const { return dir.path() + "/" + name; }
  std::string PathS(const QString& name) const { return Path(name).toStdString(); }
  void Start(QStringList args = {}) {
    QFile::copy(TERSIFY_SOURCE_DIR "/lang/Deflan.dat", Path("Deflan.dat"));
    ProgramPlace place;
    place.programFolder = dir.path().toStdString() + "/";
    place.configFolder = place.dataFolder = place.resourceFolder = place.programFolder;
    place.systemFolder = "/usr/bin";
    place.browser = "/usr/bin/env";
    place.editor = "/usr/bin/env";
    app = std::make_unique<Application>(place, args, realBoxes ? nullptr : &user, &chooser);
    app->startProgram = [this](const std::string& program, const std::string& argument, const std::string& folder) {
      started.push_back({program, argument, folder});
      return startSucceeds;
    };
    app->StartUp();
  }
  QTableWidget* list() { return app->main().filesList(); }
  // The main window's controls by their object names.
  QAction* action(const char* name) { return app->main().findChild<QAction*>(name); }
  QToolButton* button(const char* name) { return app->main().findChild<QToolButton*>(name); }
};

}  // namespace tersify::testing
