#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/GraphicPages.h"
#include "graphics/FlipTransforms.h"
#include "graphics/NegativeTransform.h"
#include "graphics/RotateTransform.h"
#include "graphics/Thumbnail.h"
#include "graphics/TiffGraphic.h"

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace {

int PageOption(const TCommandLine& args) {
  const int page = args.Integer("page", 1);
  if (page < 1) throw TUsageError{"--page counts from 1"};
  return page;
}

double ParseNumber(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0') throw TUsageError{"not a number: " + text};
  return value;
}

using TMakeTransform = std::function<std::unique_ptr<TImageTransform>(const TCommandLine&)>;

// Runs a transform on a page of IN and writes the result to OUT.
int Transform(int argc, char** argv, size_t extra, const TMakeTransform& make) {
  TCommandLine args(argc, argv);
  if (args.Positional().size() != 2 + extra) throw TUsageError{"wrong number of arguments"};
  std::unique_ptr<TImageTransform> transform = make(args);
  std::unique_ptr<TDibGraphic> page = LoadGraphicPage(args.Positional()[0], PageOption(args));
  // A transform gives the page the compression of a new image; a TIFF page
  // keeps the one it was read with.
  auto* tiff = dynamic_cast<TTiffGraphic*>(page.get());
  const TTiffCompression compression = tiff != nullptr ? tiff->Compression() : tcNone;
  transform->Apply(*page);
  if (tiff != nullptr && CompressionAllowed(compression, tiff->ImageFormat()))
    tiff->SetCompression(compression);
  WriteGraphicPage(*page, args.Positional()[1], false);
  return 0;
}

template <typename TTransform> std::unique_ptr<TImageTransform> Plain(const TCommandLine&) {
  return std::make_unique<TTransform>();
}

int Rotate(int argc, char** argv) {
  return Transform(argc, argv, 1, [](const TCommandLine& args) {
    auto rotate = std::make_unique<TRotateTransform>();
    rotate->RotationAngle = ParseNumber(args.Positional()[2]);
    return std::unique_ptr<TImageTransform>(std::move(rotate));
  });
}

int Mirror(int argc, char** argv) {
  return Transform(argc, argv, 0, Plain<TFlipHorizontalTransform>);
}

int Flip(int argc, char** argv) {
  return Transform(argc, argv, 0, Plain<TFlipVerticalTransform>);
}

int Negative(int argc, char** argv) {
  return Transform(argc, argv, 0, Plain<TNegativeTransform>);
}

int Thumbnail(int argc, char** argv) {
  TCommandLine args(argc, argv);
  if (args.Positional().size() != 3) throw TUsageError{"thumbnail needs IN, OUT and SIZE"};
  const int size = ParseInteger(args.Positional()[2]);
  if (size < 1) throw TUsageError{"SIZE is at least 1"};
  std::unique_ptr<TDibGraphic> page = LoadGraphicPage(args.Positional()[0], PageOption(args));
  std::unique_ptr<TDibGraphic> picture = RenderThumbnailPicture(*page, size, size);
  WriteGraphicPage(*picture, args.Positional()[1], false);
  return 0;
}

int Append(int argc, char** argv) {
  TCommandLine args(argc, argv);
  if (args.Positional().size() != 2) throw TUsageError{"append needs IN and TARGET"};
  std::unique_ptr<TDibGraphic> page = LoadGraphicPage(args.Positional()[0], PageOption(args));
  WriteGraphicPage(*page, args.Positional()[1], true);
  return 0;
}

const TCommandRegistration registrations[] = {
    TCommandRegistration({"rotate", "rotate IN OUT DEGREES [--page N]", Rotate}),
    TCommandRegistration({"mirror", "mirror IN OUT [--page N]", Mirror}),
    TCommandRegistration({"flip", "flip IN OUT [--page N]", Flip}),
    TCommandRegistration({"negative", "negative IN OUT [--page N]", Negative}),
    TCommandRegistration({"thumbnail", "thumbnail IN OUT SIZE [--page N]", Thumbnail}),
    TCommandRegistration({"append", "append IN TARGET [--page N]", Append}),
};

} // namespace
