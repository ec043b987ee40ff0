// The cut dialog: the user picks the cutting polygon (a polygon layer of the focus map and
// one of its features) and a result folder; Apply checks the choice, fills the parameter set
// and runs the cut synchronously, showing its progress. show_cut_dialog is the entry the
// command calls: after a successful run it makes the application open the result document.
#pragma once

#include <string>

#include <toolkit/vcl.h>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_atl.h"
#include "extension/vot_arcmap_areaclip_exec.h"
#include "extension/vot_arcmap_areaclip_params.h"

class Tvo_arcgis_layer_object_panel;
class Tvo_vcl_path_panel;

// The form text of the dialog (root object vo_arcmap_areaclip_form). By default the text
// built into the library from resources/vo_arcmap_areaclip_form.dfm; a loader may replace it
// (for instance one reading the module's resource). Returns the previous loader; null
// restores the built-in text.
using Tvo_arcmap_areaclip_form_loader = std::string (*)();
Tvo_arcmap_areaclip_form_loader set_areaclip_form_loader(Tvo_arcmap_areaclip_form_loader loader);
std::string load_areaclip_form_text();

// The result documents a cut writes into its folder (whichever of them it writes), the map
// document first: none of them may be the open document, and a folder already holding one
// holds an earlier result.
extern const char* const result_documents[3];

// The dialog. It lives for one click: show_cut_dialog creates it, shows it modally and
// destroys it exactly once (its close action is caFree, which the toolkit carries out only
// if the creator has not destroyed it first). It owns its parameter set, its polygon picker
// and its folder chooser. The run reaches it as the parameter set's owner.
class Tvo_arcmap_areaclip_form : public TForm, public Tvo_arcmap_areaclip_progress {
 public:
  explicit Tvo_arcmap_areaclip_form(TComponent* AOwner);
  ~Tvo_arcmap_areaclip_form() override;

  // Keeps app (may be empty) and hands its focus map and display to the picker.
  void set_application(TComInterface<IApplication> app);
  // set_application, then the modal display; true only after a successful run.
  bool execute(TComInterface<IApplication> app);
  // Validates the choice and writes it into the parameter set: 0, or 10 after telling the
  // user what is missing.
  int check_params();
  // Running: picker, folder chooser and buttons disabled, progress panel shown.
  void set_busy(bool running);
  // Shows text (cut to 47 characters and "..." past 50), then processes pending messages.
  void set_progress_text(const std::string& text) override;
  // Moves the bar and processes pending messages, for 0 ≤ percent ≤ 100 only.
  void set_progress_position(int percent) override;
  // The result document path of the parameter set; empty when none.
  std::string get_map_path() const;

  void f_apply_buttonClick(TObject* Sender);
  void f_close_buttonClick(TObject* Sender);
  void f_timerTimer(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);

  Tvo_arcgis_layer_object_panel* layer_object_panel() const { return f_layer_object_panel; }
  Tvo_vcl_path_panel* path_panel() const { return f_path_panel; }
  Tvo_arcmap_areaclip_params* params() const { return f_params; }

  // Bound from the form text.
  TPanel* f_btm_panel = nullptr;
  TPanel* f_btn_panel = nullptr;
  TButton* f_close_button = nullptr;
  TButton* f_apply_button = nullptr;
  TPanel* f_progress_panel = nullptr;
  TLabel* f_progress_label = nullptr;
  TProgressBar* f_progress_bar = nullptr;
  TPanel* f_data_panel = nullptr;
  TGroupBox* f_group_box = nullptr;
  TTimer* f_timer = nullptr;

 private:
  void create_controls();
  void init_captions();

  bool f_done = false;
  TComInterface<IApplication> f_application;
  Tvo_arcgis_layer_object_panel* f_layer_object_panel = nullptr;
  Tvo_vcl_path_panel* f_path_panel = nullptr;
  Tvo_arcmap_areaclip_params* f_params = nullptr;
};

// Asks the application for a new document made from its first template, when it has one.
void new_document_from_first_template(TComInterface<IApplication> app);

// The command's entry: shows the dialog for app; after a successful run the application
// gets a new document from its first template and then opens the result document.
void show_cut_dialog(TComInterface<IApplication> app);
