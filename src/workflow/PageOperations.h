#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TDibGraphic;

// Where a page operation runs: the batch file and the page index (from 0) it
// was loaded from. The batch loop passes one for every file; a caller that
// runs an operation on the page on screen may pass none.
struct TPageContext {
  std::string FileName;
  int PageIndex = 0;
};

// A page operation changes the graphic in place and returns 0 when the page
// is to be stored; any other value means there is nothing to store. Errors
// are raised, and the graphic then keeps its previous content.
using TPageOperation = std::function<int(TDibGraphic& graphic, const TPageContext* context)>;

// The eight page corrections.
enum class TPageCommand {
  Rotate90,       // a quarter turn clockwise
  Rotate180,      // half a turn
  Rotate270,      // a quarter turn counter-clockwise
  FlipHorizontal, // "Mirror": left and right exchanged
  FlipVertical,   // "Flip": top and bottom exchanged
  Invert,         // "Negative"
  Deskew,         // straightened by up to 5 degrees, white fill, interpolated
  Despeckle       // specks removed from a bilevel page; other pages left alone
};

// How each command is named: the window's action, and the word the command
// line takes ("rotate90", "rotate180", "rotate270", "mirror", "flip",
// "negative", "deskew", "despeckle").
struct TPageCommandInfo {
  TPageCommand Command;
  const char* ActionName; // "ActionRotate90", ...
  const char* Word;
};

// The eight commands in the order above.
const std::vector<TPageCommandInfo>& PageCommands();
// The command a command-line word names (exact, lower case), or none.
std::optional<TPageCommand> PageCommandForWord(const std::string& word);

// Runs one command on a graphic in place and returns its result: 0 for every
// command, except Despeckle, which returns 1 and leaves the graphic as it was
// when the page is not bilevel. Each transform or raster page used is made
// for the one call and released, also when it fails.
int RunPageCommand(TPageCommand command, TDibGraphic& graphic);
// The same as a value a caller can keep and hand to ProcessAllImages.
TPageOperation PageOperation(TPageCommand command);
