#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Every question the program puts to the operator goes through this
// interface: message boxes, the open, save and folder dialogs, and the input
// box. The window implements it with real dialogs; tests answer it with
// TScriptedPrompt. All calls are made on the user-interface thread and return
// only once the operator has answered. Implementations never throw for a
// cancelled dialog: they return the Cancel answer or no value, and the caller
// decides (usually by raising EAbort).

// The icon of a message box.
enum class TMessageKind { Confirmation, Information, Warning, Error };

// The fixed buttons of a message box.
enum class TButtons { Ok, OkCancel, YesNo, YesNoCancel };

// The button the operator chose. Closing the box without a button gives
// Cancel when the box has one, No for YesNo and Ok for Ok.
enum class TAnswer { Ok, Cancel, Yes, No };

// Whether answer is one of the buttons of buttons.
bool IsAnswerOf(TAnswer answer, TButtons buttons);
// What a box of these buttons gives when the operator closes it without one.
TAnswer ClosedAnswer(TButtons buttons);

// Joins the two parts of a two-part message the way message boxes show them:
// a line feed followed by a carriage return.
std::string JoinMessage(const std::string& first, const std::string& second);

// An open or save dialog.
struct TFileDialogOptions {
  std::string Title;
  // Pairs of description and patterns, all joined by "|":
  // "TIFF File|*.tif|PDF File|*.pdf". Patterns of one entry are joined by ";".
  std::string Filter;
  int FilterIndex = 1; // 1-based entry of Filter chosen at first
  std::string
      DefaultExt; // added when the operator types no extension, with its dot (".tif"); empty: none
  std::string InitialDir;   // empty: the implementation's choice
  std::string FileName;     // proposed name; empty: none
  bool MultiSelect = false; // open dialog: several files may be chosen
  bool MustExist = false;   // open dialog: the chosen files and their folders must exist
};

// What an open or save dialog returned on OK.
struct TFileDialogResult {
  std::vector<std::string> Files; // full paths, in the dialog's order; one for a save dialog
  int FilterIndex = 1;            // 1-based filter entry in force when OK was pressed
};

// The folder-selection dialog.
struct TFolderDialogOptions {
  std::string Title;
  std::string InitialDir; // the folder shown first; empty: the implementation's choice
  // The operator may type the name of a folder that does not exist yet; the
  // dialog then asks for a confirmation and creates it before returning.
  bool AllowCreate = false;
};

class TOperatorPrompt {
public:
  virtual ~TOperatorPrompt() = default;

  // A message box with an icon, a caption (empty: the application title),
  // the text and fixed buttons; returns the button chosen, always one of
  // buttons.
  virtual TAnswer MessageBox(TMessageKind kind, const std::string& text, TButtons buttons,
                             const std::string& caption = {}) = 0;

  // The open dialog; no value when cancelled.
  virtual std::optional<TFileDialogResult> OpenFiles(const TFileDialogOptions& options) = 0;
  // The save dialog; no value when cancelled. The returned name carries
  // DefaultExt when the operator typed none. There is no overwrite prompt.
  virtual std::optional<TFileDialogResult> SaveFile(const TFileDialogOptions& options) = 0;
  // The folder dialog; an existing folder (created when AllowCreate and the
  // operator confirmed a new name), or no value when cancelled.
  virtual std::optional<std::string> SelectFolder(const TFolderDialogOptions& options) = 0;
  // A one-line input box; the text entered, or no value when cancelled
  // (callers that want the default back use value_or(defaultText)).
  virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& defaultText) = 0;

  // The common boxes, through MessageBox.
  // Confirmation icon, Yes and No: true for Yes.
  bool Confirm(const std::string& text);
  // Confirmation icon, Yes, No and Cancel.
  TAnswer AskYesNoCancel(const std::string& text);
  // Information icon, OK.
  void Inform(const std::string& text);
  // Error icon, OK: the application's standard error box.
  void ShowError(const std::string& text);
};

// Runs work for a command of the operator's: an EAbort ends it without a
// word, any other failure is shown in the standard error box.
void RunShowingErrors(TOperatorPrompt& prompt, const std::function<void()>& work);
