#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "core/FileStream.h"
#include "raster/DIB.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// Reads the first page of any file the raster library reads.
void Load(TDIB& page, const std::string& input) {
  TFileStream file(input, TFileStream::fmOpenRead);
  page.LoadFromStream(file, 0);
}

// Writes a BMP file when the name ends in ".bmp", else a TIFF file
// compressed by depth; a failed write leaves an existing file as it was.
void Save(TDIB& page, const std::string& output) {
  const std::string bmp = ".bmp";
  bool isBmp = output.size() >= bmp.size();
  for (size_t i = 0; isBmp && i < bmp.size(); ++i)
    isBmp =
        std::tolower(static_cast<unsigned char>(output[output.size() - bmp.size() + i])) == bmp[i];
  if (isBmp)
    page.SaveToBmpFile(output);
  else
    page.SaveToTiffFile(output, false, 0, 0);
}

int Deskew(int argc, char** argv) {
  TCommandLine args(argc, argv);
  if (args.Positional().size() != 2) throw TUsageError{"deskew needs an input and an output"};
  const double maxAngle = args.Number("max-angle", 5.0);
  if (!std::isfinite(maxAngle) || maxAngle < 0)
    throw TUsageError{"--max-angle is a number of degrees, 0 or more"};
  TDIB page;
  Load(page, args.Positional()[0]);
  const double angle = page.Deskew(true, true, maxAngle);
  Save(page, args.Positional()[1]);
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, angle).ptr;
  std::printf("%.*s\n", static_cast<int>(end - text), text);
  return 0;
}

int Despeckle(int argc, char** argv) {
  TCommandLine args(argc, argv);
  if (args.Positional().size() != 2) throw TUsageError{"despeckle needs an input and an output"};
  const int maxWidth = args.Integer("max-width", 0);
  const int maxHeight = args.Integer("max-height", 0);
  TDIB page;
  Load(page, args.Positional()[0]);
  const int removed = page.Despeckle(maxWidth, maxHeight);
  Save(page, args.Positional()[1]);
  std::printf("%d\n", removed);
  return 0;
}

const TCommandRegistration registrations[] = {
    TCommandRegistration({"deskew", "deskew IN OUT [--max-angle DEG]", Deskew}),
    TCommandRegistration(
        {"despeckle", "despeckle IN OUT [--max-width W] [--max-height H]", Despeckle}),
};

} // namespace
