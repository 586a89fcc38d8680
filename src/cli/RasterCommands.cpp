#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/GraphicPages.h"
#include "core/FileStream.h"
#include "graphics/RasterCopy.h"
#include "raster/DIB.h"
#include "raster/PageGenerator.h"

#include <cstdio>
#include <string>

namespace {

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char a = text[text.size() - suffix.size() + i];
    if (std::tolower(static_cast<unsigned char>(a)) != suffix[i]) return false;
  }
  return true;
}

bool IsTiff(TStream& stream) {
  char signature[2] = {};
  int64_t start = stream.Position();
  size_t got = stream.Read(signature, 2);
  stream.SetPosition(start);
  return got == 2 && ((signature[0] == 'I' && signature[1] == 'I') ||
                      (signature[0] == 'M' && signature[1] == 'M'));
}

int Info(int argc, char** argv) {
  TCommandLine args(argc, argv);
  if (args.Positional().size() != 1) throw TUsageError{"info needs one file"};
  if (HasGraphicFormat(args.Positional()[0])) {
    ForEachGraphicPage(args.Positional()[0], [](int i, TDibGraphic& page) {
      std::printf("%d %d %d %d %d %d\n", i, page.Width(), page.Height(), page.BitCount(),
                  page.XDpi(), page.YDpi());
    });
    return 0;
  }
  TFileStream file(args.Positional()[0], TFileStream::fmOpenRead);
  const int pages = IsTiff(file) ? TDIB::TiffPageCount(file) : 1;
  TDIB page;
  for (int i = 0; i < pages; ++i) {
    file.SetPosition(0);
    page.LoadFromStream(file, i);
    std::printf("%d %d %d %d %d %d\n", i + 1, page.Width(), page.Height(), page.BitCount(),
                page.XResolution(), page.YResolution());
  }
  return 0;
}

void Write(TDIB& page, const std::string& output, bool append, int rowsPerStrip, int compression) {
  if (EndsWithIgnoringCase(output, ".bmp"))
    page.SaveToBmpFile(output);
  else
    page.SaveToTiffFile(output, append, rowsPerStrip, compression);
}

int Convert(int argc, char** argv) {
  TCommandLine args(argc, argv, {"append"});
  if (args.Positional().size() != 2) throw TUsageError{"convert needs an input and an output"};
  const int pageNumber = args.Integer("page", 1);
  if (pageNumber < 1) throw TUsageError{"--page counts from 1"};
  const std::string& input = args.Positional()[0];
  const std::string& output = args.Positional()[1];
  if (HasGraphicFormat(input) || HasGraphicFormat(output)) {
    std::unique_ptr<TDibGraphic> graphic = LoadGraphicPage(input, pageNumber);
    if (HasGraphicFormat(output)) {
      TTiffWriteOptions options;
      options.compression = TiffCompressionOfCode(args.Integer("compression", 0), *graphic);
      const int rowsPerStrip = args.Integer("rows-per-strip", 0);
      options.rowsPerStrip = rowsPerStrip > 0 ? rowsPerStrip : 16;
      WriteGraphicPage(*graphic, output, args.Has("append"), options);
      return 0;
    }
    TDIB page;
    CopyToRaster(*graphic, page);
    Write(page, output, args.Has("append"), args.Integer("rows-per-strip", 0),
          args.Integer("compression", 0));
    return 0;
  }
  TDIB page;
  {
    TFileStream file(input, TFileStream::fmOpenRead);
    page.LoadFromStream(file, pageNumber - 1);
  }
  Write(page, args.Positional()[1], args.Has("append"), args.Integer("rows-per-strip", 0),
        args.Integer("compression", 0));
  return 0;
}

int MakePage(int argc, char** argv) {
  TCommandLine args(argc, argv, {"specks"});
  if (args.Positional().size() != 1) throw TUsageError{"make-page needs an output"};
  TPageSpec layout;
  layout.Width = args.Integer("width", layout.Width);
  layout.Height = args.Integer("height", layout.Height);
  layout.Dpi = args.Integer("dpi", layout.Dpi);
  layout.Bits = args.Integer("bits", layout.Bits);
  layout.SkewDegrees = args.Number("skew", 0.0);
  layout.Seed = static_cast<uint64_t>(args.Integer("seed", 1));
  layout.Specks = args.Has("specks");
  if (layout.Bits != 1 && layout.Bits != 8 && layout.Bits != 24)
    throw TUsageError{"--bits is 1, 8 or 24"};
  TDIB page;
  GeneratePage(page, layout);
  Write(page, args.Positional()[0], false, 0, args.Integer("compression", 0));
  return 0;
}

const TCommandRegistration registrations[] = {
    TCommandRegistration({"info", "info FILE", Info}),
    TCommandRegistration(
        {"convert",
         "convert IN OUT [--page N] [--compression CODE] [--rows-per-strip N] [--append]",
         Convert}),
    TCommandRegistration({"make-page",
                          "make-page OUT --width W --height H --dpi D --bits B [--skew DEG] "
                          "[--seed S] [--specks] [--compression CODE]",
                          MakePage}),
};

} // namespace
