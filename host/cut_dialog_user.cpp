// The cut dialog's user: scripted picks, the folder dialog, message boxes printed, the
// run's progress read from the dialog's progress label and bar.
#include "cut_dialog_user.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include <objbase.h>
#include <windows.h>
#include <gis/core.h>
#include <toolkit/file_controls.h>
#include <toolkit/snapshot.h>
#include <toolkit/user_agent.h>
#include <toolkit/vcl.h>
#include <win32/text.h>

#include "extension.h"
#include "polygon_features.h"

namespace host {

std::string listing(const std::vector<std::string>& entries) {
  std::string out;
  size_t shown = 0;
  for (const std::string& e : entries) {
    if (shown == 20) {
      out += "\n  … and " + std::to_string(entries.size() - shown) + " more";
      break;
    }
    out += "\n  " + e;
    ++shown;
  }
  return entries.empty() ? "\n  (none)" : out;
}

namespace {

int listed(TComboBox* combo, const std::string& entry) {
  for (int i = 1; i < combo->Items->Count(); ++i)
    if (combo->Items->Strings(i) == entry) return i;
  return -1;
}

std::string entries(TComboBox* combo) {
  std::vector<std::string> names;
  if (combo)
    for (int i = 1; i < combo->Items->Count(); ++i) names.push_back(win32::ansi_to_utf8(combo->Items->Strings(i)));
  return listing(names);
}

// The entry of the feature picker that shows feature `id` of the layer at entry
// `layer_entry` of the layer picker.
int entry_of_id(IMap* map, int layer_entry, long id) {
  const std::vector<PickerLayer> layers = picker_layers(map);
  if (layer_entry < 1 || layer_entry > static_cast<int>(layers.size())) return -1;
  std::vector<PolygonFeature> features;
  std::string error;
  if (!picker_features(layers[layer_entry - 1], &features, &error)) return -1;
  for (size_t k = 0; k < features.size(); ++k)
    if (features[k].id == id) return static_cast<int>(k) + 1;
  return -1;
}

}  // namespace

int chosen_layer_entry(TComboBox* layers, const CutChoice& choice, std::string* error) {
  const int index = layers ? listed(layers, win32::utf8_to_ansi(choice.layer)) : -1;
  if (index < 1) *error = "no polygon layer '" + choice.layer + "'; the layer picker lists:" + entries(layers);
  return index < 1 ? -1 : index;
}

int chosen_feature_entry(TComboBox* features, const CutChoice& choice, int layer_entry, IMap* map,
                         std::string* error) {
  const int index = choice.by_id ? entry_of_id(map, layer_entry, choice.feature_id)
                                 : (features ? listed(features, win32::utf8_to_ansi(choice.feature)) : -1);
  if (index >= 1 && features && index < features->Items->Count()) return index;
  if (choice.by_id)
    *error = "layer '" + choice.layer + "' has no feature " + std::to_string(choice.feature_id) +
             " that the feature picker lists";
  else
    *error = "layer '" + choice.layer + "' has no feature '" + choice.feature + "'; the feature picker lists:" +
             entries(features);
  return -1;
}

}  // namespace host

namespace {

using win32::ComPtr;

// A folder path without its trailing separators, for comparing.
std::string trimmed(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

// Prints the run's progress on one updating terminal line, a few times a second at most.
class TerminalProgress {
 public:
  TerminalProgress() : interactive_(isatty(STDOUT_FILENO)) {}
  ~TerminalProgress() { finish(); }

  void set_progress_text(const std::string& text) {
    finish();
    text_ = win32::ansi_to_utf8(text);
    percent_ = -1;
    draw(true);
  }
  void set_progress_position(int percent) {
    if (percent == percent_) return;
    percent_ = percent;
    draw(percent >= 100);
  }
  void finish() {
    if (!text_.empty()) {
      draw(true, true);
      text_.clear();
    }
  }

 private:
  void draw(bool force, bool last = false) {
    auto now = std::chrono::steady_clock::now();
    if (!force && now - drawn_ < std::chrono::milliseconds(200)) return;
    drawn_ = now;
    std::string percent = percent_ >= 0 ? " " + std::to_string(percent_) + "%" : "";
    if (interactive_) {
      std::printf("\r\x1b[2K%s%s", text_.c_str(), percent.c_str());
      if (last) std::printf("\n");
    } else if (last) {
      std::printf("%s%s\n", text_.c_str(), percent.c_str());
    }
    std::fflush(stdout);
  }

  bool interactive_;
  std::string text_;
  int percent_ = -1;
  std::chrono::steady_clock::time_point drawn_{};
};

// The toolkit asks its clock for the time each time it processes messages (to find due
// timers), which the run's progress calls do after every change of the dialog's progress
// label and bar: the host reads them there. Time itself is the steady clock's.
// The cut dialog's form name, and its controls by name.
constexpr const char* kDialogName = host::kCutFormName;

template <class T>
T* control(TControl* root, const char* name) {
  return dynamic_cast<T*>(toolkit::FindControl(root, name));
}

class WatchingClock : public TClock {
 public:
  explicit WatchingClock(std::function<void()> watch) : watch_(std::move(watch)) {}
  int64_t NowMs() override {
    if (watch_ && !watching_) {
      watching_ = true;
      watch_();
      watching_ = false;
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void WaitMs(int64_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  std::function<void()> watch_;
  bool watching_ = false;
};

// The user of the cut dialog, built from the command line: picks the layer and the feature
// in the pickers, chooses the folder through "..." and the folder dialog, presses
// "Применить". Every message box is printed (UTF-8) and answered with its default button;
// after a refusal or a failure it presses "Закрыть". A layer or feature the pickers do not
// list is an error naming the entries they do list.
class DialogUser : public TUserAgent {
 public:
  DialogUser(const host::CutChoice& args, const std::string& folder_ansi, IMap* map)
      : args_(args), folder_(folder_ansi), map_(map) {}

  const std::string& error() const { return error_; }
  const std::string& folder() const { return folder_; }
  const std::vector<std::string>& messages() const { return messages_; }
  bool folder_failed() const { return folder_failed_; }
  bool applied() const { return applied_; }

  int AnswerMessageBox(const TMessageBoxInfo& box) override {
    end_progress();
    std::fprintf(stderr, "[%s] %s\n", box.CaptionUtf8().c_str(), box.TextUtf8().c_str());
    messages_.push_back(box.TextUtf8());
    // A box after "Применить" may follow a failed call of the run: the GIS's own words for
    // it say what the box cannot.
    if (applied_) {
      const std::string reason = host::take_error_description();
      if (!reason.empty()) std::fprintf(stderr, "areaclip: %s\n", reason.c_str());
      if (!reason.empty()) messages_.push_back(reason);
    }
    return box.default_button;
  }

  TUserAction NextAction(TForm& form) override {
    TUserAction action;
    if (form.Name != kDialogName) {
      // The folder dialog: open the folder, then confirm.
      auto* list = control<TDirectoryListBox>(&form, "f_directory_list");
      if (gis::CancelRequested()) {
        folder_failed_ = true;
        action.target = "f_cancel_button";
      } else if (!folder_opened_) {
        folder_opened_ = true;
        action.kind = TUserAction::OpenFolder;
        action.target = "f_directory_list";
        action.value = folder_;
      } else if (!list || trimmed(list->Directory) != trimmed(folder_)) {
        // The list is not at the folder asked for: never apply some other folder.
        folder_failed_ = true;
        action.target = "f_cancel_button";
      } else {
        action.target = "f_ok_button";
      }
      return action;
    }
    if (closing_ || !error_.empty() || folder_failed_ || gis::CancelRequested()) {
      action.target = "f_close_button";
      return action;
    }
    switch (step_++) {
      case 0: {
        std::string why;
        layer_index_ = host::chosen_layer_entry(control<TComboBox>(&form, "f_layers_combo"), args_, &why);
        if (layer_index_ < 1) return refuse(why);
        action.kind = TUserAction::Choose;
        action.target = "f_layers_combo";
        action.index = layer_index_;
        return action;
      }
      case 1: {
        std::string why;
        const int index =
            host::chosen_feature_entry(control<TComboBox>(&form, "f_objects_combo"), args_, layer_index_, map_, &why);
        if (index < 1) return refuse(why);
        action.kind = TUserAction::Choose;
        action.target = "f_objects_combo";
        action.index = index;
        return action;
      }
      case 2:
        action.target = "f_choose_button";
        return action;
      case 3:
        applied_ = true;
        SetErrorInfo(0, nullptr);  // what the pickers left is not the run's
        action.target = "f_apply_button";
        return action;
      default:
        // Apply was refused or the run failed: the dialog is still open.
        applied_ = false;
        action.target = "f_close_button";
        return action;
    }
  }

  void Refused(const TUserAction& action, const Exception& e) override {
    if (error_.empty()) error_ = "cannot " + action.Describe() + ": " + win32::ansi_to_utf8(e.Message);
    closing_ = true;
  }

  // Called whenever messages are processed (also inside the run's progress calls).
  void watch_progress() {
    TForm* dialog = Application->ModalForm();
    if (!dialog || dialog->Name != kDialogName) return;
    if (dialog != watched_) {
      // Looked up once per dialog: this runs after every feature.
      watched_ = dialog;
      panel_ = control<TPanel>(dialog, host::kProgressPanelName);
      label_ = control<TLabel>(dialog, "f_progress_label");
      bar_ = control<TProgressBar>(dialog, "f_progress_bar");
      caption_changes_ = 0;
    }
    TPanel* panel = panel_;
    TLabel* label = label_;
    TProgressBar* bar = bar_;
    if (!panel || !label || !bar || !panel->Visible) return;
    if (label->TextChanges() != caption_changes_ || caption_changes_ == 0) {
      caption_changes_ = label->TextChanges();
      caption_ = label->Caption();
    }
    const std::string& text = caption_;
    if (text == "Apply!!!") return;  // the dialog's own mark before the run reports
    const int position = bar->Position;
    if (text != text_) {
      // The run announces a layer before its first feature: the bar still shows where the
      // previous layer ended, and keeps that value until the new layer moves it.
      if (progress_) progress_->set_progress_position(position);
      text_ = text;
      stale_position_ = position;
      moved_ = false;
      if (!progress_) progress_ = std::make_unique<TerminalProgress>();
      progress_->set_progress_text(text);
      return;
    }
    if (progress_ && (moved_ || position != stale_position_)) {
      moved_ = true;
      progress_->set_progress_position(position);
      ++layers_moved_;
      picture(*dialog);
    }
  }
  // Called when the dialog is gone, or about to be.
  void end_progress() {
    progress_.reset();
    text_.clear();
    watched_ = nullptr;
  }

 private:
  // With AREACLIP_DIALOG_PICTURE set, one picture of the dialog (PNG, or SVG by extension)
  // is written there during the run, once a few features have been reported.
  void picture(const TForm& dialog) {
    if (pictured_ || layers_moved_ < 3) return;
    const char* path = std::getenv("AREACLIP_DIALOG_PICTURE");
    if (!path || !*path) {
      pictured_ = true;  // nothing to do for the rest of the run
      return;
    }
    pictured_ = true;
    try {
      std::string p = path;
      if (p.size() > 4 && p.substr(p.size() - 4) == ".svg")
        toolkit::SaveSvg(dialog, p);
      else
        toolkit::SavePng(dialog, p);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "areaclip: no picture of the dialog: %s\n", e.what());
    }
  }
  TUserAction refuse(const std::string& message) {
    error_ = message;
    TUserAction action;
    action.target = "f_close_button";
    return action;
  }

  const host::CutChoice& args_;
  std::string folder_;
  IMap* map_;
  int layer_index_ = -1;
  int step_ = 0;
  bool folder_opened_ = false;
  bool closing_ = false;
  bool folder_failed_ = false;
  bool applied_ = false;
  std::string error_;
  std::vector<std::string> messages_;
  std::string text_;
  int stale_position_ = 0;
  bool moved_ = false;
  int layers_moved_ = 0;
  bool pictured_ = false;
  std::unique_ptr<TerminalProgress> progress_;
  TForm* watched_ = nullptr;
  TPanel* panel_ = nullptr;
  TLabel* label_ = nullptr;
  TProgressBar* bar_ = nullptr;
  // The label's caption as last read, and its TextChanges() then (0: read it again).
  std::string caption_;
  unsigned long caption_changes_ = 0;
};

}  // namespace

namespace host {

class CutDialogUser::User : public DialogUser {
 public:
  using DialogUser::DialogUser;
};

CutDialogUser::CutDialogUser(const CutChoice& choice, const std::string& folder_ansi, IMap* map)
    : user_(std::make_unique<User>(choice, folder_ansi, map)) {}

CutDialogUser::~CutDialogUser() = default;

HRESULT CutDialogUser::click(ICommand* command) {
  TScopedUserAgent use(user_.get());
  // The folder dialog opens where the result goes (when it is there already): its list is
  // read when the dialog opens, and the working folder may hold any number of folders.
  const std::string start = toolkit::StartFolder();
  toolkit::SetStartFolder(user_->folder());
  struct Restore {
    std::string folder;
    ~Restore() { toolkit::SetStartFolder(folder); }
  } restore{start};
  User* user = user_.get();
  // The dialog's progress is looked at again only after a control changed: the run asks the
  // clock after every feature, and the bar moves every hundredth.
  bool changed = true;
  struct Listening {
    int id;
    ~Listening() { Application->RemoveChangeListener(id); }
  } listening{Application->AddChangeListener([&changed] { changed = true; })};
  WatchingClock clock([user, &changed] {
    if (!changed) return;
    changed = false;
    user->watch_progress();
  });
  TScopedClock use_clock(&clock);
  HRESULT hr = command->OnClick();
  user->watch_progress();
  user->end_progress();
  return hr;
}

const std::string& CutDialogUser::error() const { return user_->error(); }
bool CutDialogUser::folder_failed() const { return user_->folder_failed(); }
bool CutDialogUser::applied() const { return user_->applied(); }
const std::vector<std::string>& CutDialogUser::messages() const { return user_->messages(); }

}  // namespace host
