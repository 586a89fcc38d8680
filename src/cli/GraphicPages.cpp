#include "cli/GraphicPages.h"

#include "core/FileStream.h"
#include "graphics/GraphicRegistry.h"
#include "graphics/PdfGraphic.h"
#include "graphics/TiffGraphic.h"
#include "raster/TiffBinding.h"

namespace {

// The commands report libtiff failures by the failing call alone, as they
// always have, without the graphic's "ETiffError " class prefix.
template <typename Work> auto WithPlainTiffErrors(Work&& work) {
  try {
    return work();
  } catch (const ETiffError& error) {
    static const std::string prefix = "ETiffError ";
    const std::string& text = error.Message();
    if (text.compare(0, prefix.size(), prefix) == 0) throw ETiffError(text.substr(prefix.size()));
    throw;
  }
}

} // namespace

int TiffCompressionOfCode(int code, const TDibGraphic& page) {
  switch (code) {
  case 0:
    switch (page.ImageFormat()) {
    case ifBlackWhite:
      return tcGroup4;
    case ifGray16:
    case ifColor16:
      return tcPackbits;
    case ifColor256:
      return tcLZW;
    default:
      return tcJpeg;
    }
  case 2:
    return tcPackbits;
  case 3:
    return tcGroup3_1D;
  case 4:
    return tcGroup3_2D;
  case 5:
    return tcGroup4;
  case 6:
    return tcZLib;
  case 7:
    return tcJpeg;
  case 8:
    return tcLZW;
  default:
    return tcNone;
  }
}

bool HasGraphicFormat(const std::string& fileName) {
  return FindGraphicFormat(FileExtension(fileName)).has_value();
}

int GraphicPageCount(const std::string& fileName) {
  return WithPlainTiffErrors([&] {
    std::unique_ptr<TDibGraphic> graphic = GraphicForFile(fileName);
    TFileStream file(fileName, TFileStream::fmOpenRead);
    return graphic->ImageCount(file);
  });
}

std::unique_ptr<TDibGraphic> LoadGraphicPage(const std::string& fileName, int pageNumber) {
  return WithPlainTiffErrors([&] {
    TFileStream file(fileName, TFileStream::fmOpenRead);
    if (HasGraphicFormat(fileName)) {
      std::unique_ptr<TDibGraphic> graphic = GraphicForFile(fileName);
      graphic->LoadImage(file, pageNumber);
      return graphic;
    }
    TDIB dib;
    dib.LoadFromStream(file, pageNumber - 1);
    auto graphic = std::make_unique<TDibGraphic>();
    graphic->ImportPageHandle(dib.Handle());
    return graphic;
  });
}

void ForEachGraphicPage(const std::string& fileName,
                        const std::function<void(int, TDibGraphic&)>& visit) {
  WithPlainTiffErrors([&] {
    std::unique_ptr<TDibGraphic> graphic = GraphicForFile(fileName);
    TFileStream file(fileName, TFileStream::fmOpenRead);
    if (auto* tiff = dynamic_cast<TTiffGraphic*>(graphic.get())) {
      RegisterTiffApplicationTags();
      TTiffFile pages(file);
      const int count = pages.PageCount();
      for (int i = 1; i <= count; ++i) {
        tiff->LoadFromTiffFile(pages, i);
        visit(i, *tiff);
      }
    } else if (auto* pdf = dynamic_cast<TPdfGraphic*>(graphic.get())) {
      TPdfPages pages(file);
      for (int i = 1; i <= pages.Count(); ++i) {
        pages.Load(i, *pdf);
        visit(i, *pdf);
      }
    } else {
      const int count = graphic->ImageCount(file);
      for (int i = 1; i <= count; ++i) {
        file.SetPosition(0);
        graphic->LoadImage(file, i);
        visit(i, *graphic);
      }
    }
    return 0;
  });
}

void WriteGraphicPage(TDibGraphic& page, const std::string& fileName, bool append,
                      const TTiffWriteOptions& options) {
  WithPlainTiffErrors([&] {
    std::unique_ptr<TDibGraphic> target = GraphicForFile(fileName);
    target->Assign(page);
    if (auto* tiff = dynamic_cast<TTiffGraphic*>(target.get())) {
      const auto* source = dynamic_cast<const TTiffGraphic*>(&page);
      TTiffCompression compression = CompressionForFormat(tiff->ImageFormat());
      if (options.compression >= 0)
        compression = static_cast<TTiffCompression>(options.compression);
      else if (source != nullptr && CompressionAllowed(source->Compression(), tiff->ImageFormat()))
        compression = source->Compression();
      tiff->SetCompression(compression);
      if (options.rowsPerStrip > 0)
        tiff->SetRowsPerStrip(options.rowsPerStrip);
      else if (source != nullptr)
        tiff->SetRowsPerStrip(source->RowsPerStrip());
      if (source != nullptr)
        for (const auto& [tag, text] : source->Tags()) tiff->SetTag(tag, text);
    }
    if (append)
      target->AppendToFile(fileName);
    else
      target->SaveToFile(fileName);
  });
}
